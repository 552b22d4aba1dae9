#include "ApiClient.h"
#include "AuthManager.h"
#include "HttpTestServer.h"
#include "LogCapture.h"
#include "LoginWindow.h"
#include "PrivateSettings.h"
#include "QuickItems.h"
#include "UrlCatcher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The login window driven through its real page: typing, Tab, Return and clicks.
class TestLoginWindow : public QObject
{
    Q_OBJECT

private:
    PrivateSettings m_settings;
    HttpTestServer m_server;
    std::unique_ptr<AuthManager> m_auth;
    std::unique_ptr<ApiClient> m_api;
    std::unique_ptr<LoginWindow> m_window;

    QQuickItem *item(const char *name) const { return quickItem(*m_window, QLatin1String(name)); }

    void click(const char *name) { QVERIFY2(clickItem(*m_window, QLatin1String(name)), name); }

    // QTest types whole strings into widgets only; a window gets one key at a time.
    void type(const QString &text)
    {
        for (const QChar character : text)
            QTest::sendKeyEvent(QTest::Click, m_window.get(), Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
    }

    void typeCredentials(const QString &email, const QString &password)
    {
        QTRY_VERIFY(item("emailField")->hasActiveFocus()); // where the page starts
        type(email);
        QTest::keyClick(m_window.get(), Qt::Key_Tab);
        QTRY_VERIFY(item("passwordField")->hasActiveFocus());
        type(password);
    }

    QString errorText() const { return item("errorText")->property("text").toString(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        qputenv("API_BASE_URL", m_server.baseUrl().toUtf8());
        m_auth = std::make_unique<AuthManager>();
    }

    void init()
    {
        m_auth->clearSession();
        m_server.setReply({});
        m_window.reset();
        m_api = std::make_unique<ApiClient>();
        m_window = std::make_unique<LoginWindow>(m_auth.get(), m_api.get());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanupTestCase() { m_window.reset(); }

    void emptyFieldsAreRefusedWithoutRequest_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addRow("no password") << "a@b.c" << "";
        QTest::addRow("no email") << "" << "pw";
    }

    void emptyFieldsAreRefusedWithoutRequest()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        typeCredentials(email, password);
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QTRY_VERIFY(item("errorBox")->isVisible());
        QCOMPARE(errorText(), QStringLiteral("Please enter email and password"));
        QVERIFY(!m_window->isLoading()); // a request would have set it at once
    }

    // The server's error is shown and notified once; the next attempt hides it. While an attempt
    // is in flight, neither a click nor Return sends again.
    void errorThenRetryInFlight()
    {
        m_server.setReply({401, "application/json",
                           "{\"error\":\"Invalid email or password\",\"message\":\"Unauthorized\"}",
                           true});
        QSignalSpy errorChanges(m_window.get(), &LoginWindow::errorMessageChanged);
        LogCapture log;
        typeCredentials(QStringLiteral("player@corvanta.test"), QStringLiteral("pw 1234"));
        QTest::keyClick(m_window.get(), Qt::Key_Enter);
        QTRY_VERIFY(item("errorBox")->isVisible());
        QCOMPARE(errorText(), QStringLiteral("Invalid email or password"));
        QVERIFY(!m_window->isLoading());
        QCOMPARE(errorChanges.count(), 1);

        m_server.setReply({200, "application/json", "{}", false}); // no answer: stays in flight
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QTRY_VERIFY(!item("errorBox")->isVisible());
        QVERIFY(m_window->isLoading());
        QVERIFY(!item("emailField")->isEnabled());
        QVERIFY(!item("passwordField")->isEnabled());
        QVERIFY(item("spinner")->isVisible());
        QCOMPARE(item("signInLabel")->property("text").toString(), QStringLiteral("Signing in..."));

        click("signInButton");
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QCOMPARE(log.count(QStringLiteral("Attempting login for: player@corvanta.test")), 2);
        QTRY_COMPARE(m_server.requests().size(), 2);
        const QJsonObject body = QJsonDocument::fromJson(m_server.requests()[1].body).object();
        QCOMPARE(body.value("email").toString(), QStringLiteral("player@corvanta.test"));
        QCOMPARE(body.value("password").toString(), QStringLiteral("pw 1234"));
    }

    // The server's text as it is, inside the window, and nothing else of the page covered by it or
    // pushed out of sight.
    void longErrorStaysInsideTheWindow()
    {
        // 2000 characters, the last 300 one unbroken word.
        const QString message = QStringLiteral("Lorem ipsum dolor sit amet. ").repeated(60).left(1700)
            + QString(300, QLatin1Char('x'));
        m_server.setReply({401, "application/json",
                           QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}).toJson(),
                           true});
        m_window->login(QStringLiteral("a@b.c"), QStringLiteral("pw"));
        QTRY_VERIFY(item("errorBox")->isVisible());
        QCOMPARE(errorText(), message);

        const auto sceneRect = [this](const char *name) {
            QQuickItem *target = item(name);
            return target->mapRectToScene(QRectF(0, 0, target->width(), target->height()));
        };
        // The column places the fields below the box on a frame after the box appears.
        QTRY_VERIFY(sceneRect("emailField").top() > sceneRect("errorBox").bottom());
        QVERIFY(item("errorText")->property("contentWidth").toReal() <= item("errorText")->width());
        QVERIFY(sceneRect("errorText").left() >= sceneRect("errorBox").left());
        QVERIFY(sceneRect("errorText").right() <= sceneRect("errorBox").right());
        const QRectF window(QPointF(0, 0), QSizeF(m_window->size()));
        const QList<const char *> names = {"errorBox", "emailField", "passwordField",
                                           "forgotPasswordLink", "signInButton", "signUpRow",
                                           "versionText"};
        for (qsizetype i = 0; i < names.size(); ++i) {
            QVERIFY2(window.contains(sceneRect(names[i])), names[i]);
            for (qsizetype j = i + 1; j < names.size(); ++j)
                QVERIFY2(!sceneRect(names[i]).intersects(sceneRect(names[j])), names[j]);
        }
    }

    void responses_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("userId");
        QTest::addRow("complete") << QByteArray(R"({"token":"secret-T1","user":{"id":"u-1","name":"Ana","email":"a@b.c","steamId":"765"}})")
                                  << true << "u-1";
        QTest::addRow("numeric id") << QByteArray(R"({"token":"secret-T2","user":{"id":42,"name":"Ana"}})")
                                    << true << "";
        QTest::addRow("user not an object") << QByteArray(R"({"token":"secret-T3","user":"Ana"})") << true
                                            << "";
        QTest::addRow("no token") << QByteArray(R"({"user":{"id":"u-1"}})") << false << "";
        QTest::addRow("token not a string") << QByteArray(R"({"token":7,"user":{"id":"u-1"}})")
                                            << false << "";
    }

    void responses()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, succeeds);
        QFETCH(QString, userId);
        m_server.setReply({200, "application/json", body, true});
        QSignalSpy success(m_window.get(), &LoginWindow::loginSuccessful);
        LogCapture log;
        m_window->login(QStringLiteral("a@b.c"), QStringLiteral("pw"));
        QTRY_VERIFY(!m_window->isLoading());
        QCOMPARE(success.count(), succeeds ? 1 : 0);
        QCOMPARE(m_auth->isAuthenticated(), succeeds);
        QCOMPARE(m_auth->userId(), userId);
        QCOMPARE(m_window->errorMessage(),
                 succeeds ? QString() : QStringLiteral("Invalid response from server"));
        if (succeeds)
            QVERIFY(!log.rawLines().join('\n').contains(m_auth->token()));
        QVERIFY(m_window->isVisible()); // the launcher decides what happens next
    }

    void linksOpenThePlatformPages()
    {
        UrlCatcher catcher;
        click("forgotPasswordLink");
        click("signUpLink");
        QCOMPARE(catcher.opened,
                 QList<QUrl>({QUrl(m_server.baseUrl() + "/forgot-password"),
                              QUrl(m_server.baseUrl() + "/register")}));
    }
};

QTEST_MAIN(TestLoginWindow)
#include "tst_loginwindow.moc"
