#include "ApiClient.h"
#include "AuthManager.h"
#include "HttpTestServer.h"
#include "LogCapture.h"
#include "LoginWindow.h"
#include "PlatformSimulator.h"
#include "QuickItems.h"
#include "UrlCatcher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The login window driven through its real page: typing, Tab, Return and clicks.
class TestLoginWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;
    HttpTestServer m_server;
    std::unique_ptr<AuthManager> m_auth;
    std::unique_ptr<ApiClient> m_api;
    std::unique_ptr<LoginWindow> m_window;

    QQuickItem *item(const char *name) const { return quickItem(*m_window, QLatin1String(name)); }

    void click(const char *name) { QVERIFY2(clickItem(*m_window, QLatin1String(name)), name); }

    void makeWindow(const QString &baseUrl)
    {
        qputenv("API_BASE_URL", baseUrl.toUtf8());
        m_window.reset();
        m_api = std::make_unique<ApiClient>();
        m_window = std::make_unique<LoginWindow>(m_auth.get(), m_api.get());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // QTest types whole strings into widgets only; a window gets one key at a time.
    void type(const QString &text)
    {
        for (const QChar character : text)
            QTest::sendKeyEvent(QTest::Click, m_window.get(), Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
    }

    void typeCredentials(const QString &email, const QString &password)
    {
        click("emailField");
        QTRY_VERIFY(item("emailField")->hasActiveFocus());
        type(email);
        QTest::keyClick(m_window.get(), Qt::Key_Tab);
        QTRY_VERIFY(item("passwordField")->hasActiveFocus());
        type(password);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QVERIFY(m_server.listen());
        m_auth = std::make_unique<AuthManager>();
    }

    void init()
    {
        m_auth->clearSession();
        m_server.setReply({});
        makeWindow(m_server.baseUrl());
    }

    void cleanupTestCase()
    {
        m_window.reset();
    }

    void windowSettings()
    {
        QCOMPARE(m_window->title(), QStringLiteral("Corvanta - Login"));
        QCOMPARE(m_window->size(), QSize(420, 520));
        QCOMPARE(m_window->minimumSize(), QSize(420, 520));
        QCOMPARE(m_window->flags(), Qt::Window | Qt::WindowMinimizeButtonHint
                                        | Qt::WindowCloseButtonHint);
        QVERIFY(!item("errorBox")->isVisible());
        QCOMPARE(item("signInLabel")->property("text").toString(), QStringLiteral("Sign in"));
    }

    void typingGoesToTheEmailFieldAtOnce()
    {
        QTRY_VERIFY(item("emailField")->hasActiveFocus());
        type(QStringLiteral("a@b"));
        QCOMPARE(item("emailField")->property("text").toString(), QStringLiteral("a@b"));
    }

    void emptyFieldsAreRefusedWithoutRequest_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addRow("both empty") << "" << "";
        QTest::addRow("no password") << "a@b.c" << "";
        QTest::addRow("no email") << "" << "pw";
    }

    void emptyFieldsAreRefusedWithoutRequest()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        const qsizetype before = m_server.requests().size();
        typeCredentials(email, password);
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QTRY_VERIFY(item("errorBox")->isVisible());
        QCOMPARE(item("errorText")->property("text").toString(),
                 QStringLiteral("Please enter email and password"));
        QVERIFY(!m_window->isLoading());
        QTest::qWait(50);
        QCOMPARE(m_server.requests().size(), before);
    }

    void blankEmailIsSentAsItIs()
    {
        m_server.setReply({401, "application/json", "{\"error\":\"Invalid email or password\"}", true});
        typeCredentials(QStringLiteral(" "), QStringLiteral("pw"));
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QTRY_VERIFY(!m_server.requests().isEmpty());
        QVERIFY(m_server.requests().constLast().body.contains("\"email\": \" \""));
    }

    void loadingStateAndSecondClick()
    {
        m_server.setReply({200, "application/json", "{}", false}); // no answer: stays in flight
        const qsizetype before = m_server.requests().size();
        typeCredentials(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234"));
        click("signInButton");

        QTRY_VERIFY(m_window->isLoading());
        QTRY_COMPARE(m_server.requests().size(), before + 1);
        QVERIFY(!item("emailField")->isEnabled());
        QVERIFY(!item("passwordField")->isEnabled());
        QVERIFY(item("spinner")->isVisible());
        QCOMPARE(item("signInLabel")->property("text").toString(), QStringLiteral("Signing in..."));

        click("signInButton");
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QTest::qWait(100);
        QCOMPARE(m_server.requests().size(), before + 1);
    }

    void errorShownThenHiddenByNextAttempt()
    {
        m_server.setReply({401, "application/json",
                           "{\"error\":\"Invalid email or password\",\"message\":\"Unauthorized\"}",
                           true});
        QSignalSpy errorChanges(m_window.get(), &LoginWindow::errorMessageChanged);
        LogCapture log;
        typeCredentials(QStringLiteral("player@corvanta.test"), QStringLiteral("wrong"));
        QTest::keyClick(m_window.get(), Qt::Key_Return);

        QTRY_VERIFY(item("errorBox")->isVisible());
        QCOMPARE(item("errorText")->property("text").toString(),
                 QStringLiteral("Invalid email or password"));
        QVERIFY(!m_window->isLoading());
        QVERIFY(log.texts().contains(QStringLiteral("Login failed: Invalid email or password")));
        QCOMPARE(errorChanges.count(), 1);

        // The same failure again: the box hides while the request runs, then shows again.
        m_server.setReply({200, "application/json", "{}", false});
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QTRY_VERIFY(!item("errorBox")->isVisible());
        QVERIFY(m_window->isLoading());
    }

    // The server's text as it is, inside the window, and nothing else of the page covered by it or
    // pushed out of sight.
    void longErrorStaysInsideTheWindow_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addRow("three lines")
            << QStringLiteral("The tournament servers are under maintenance right now. Sign-in "
                              "will be back within an hour; your registrations and match history "
                              "are safe. Follow the status page for news.");
        QTest::addRow("2000 characters, one word unbroken")
            << QStringLiteral("Lorem ipsum dolor sit amet. ").repeated(60).left(1700)
                   + QString(300, QLatin1Char('x'));
    }

    void longErrorStaysInsideTheWindow()
    {
        QFETCH(QString, message);
        m_server.setReply({401, "application/json",
                           QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}).toJson(),
                           true});
        m_window->login(QStringLiteral("a@b.c"), QStringLiteral("pw"));
        QTRY_VERIFY(item("errorBox")->isVisible());
        QCOMPARE(item("errorText")->property("text").toString(), message);

        const auto sceneRect = [this](const char *name) {
            QQuickItem *target = item(name);
            return target->mapRectToScene(QRectF(0, 0, target->width(), target->height()));
        };
        // The column places the fields below the box on a frame after the box appears.
        QTRY_VERIFY(sceneRect("emailField").top() > sceneRect("errorBox").bottom());

        QQuickItem *text = item("errorText");
        QVERIFY(text->property("contentWidth").toReal() <= text->width());
        const QRectF box = sceneRect("errorBox");
        QVERIFY(sceneRect("errorText").left() >= box.left());
        QVERIFY(sceneRect("errorText").right() <= box.right());
        const QRectF window(QPointF(0, 0), QSizeF(m_window->size()));
        const QList<const char *> names = {"errorBox", "emailField", "passwordField",
                                           "forgotPasswordLink", "signInButton", "signUpRow",
                                           "versionText"};
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QRectF rect = sceneRect(names[i]);
            QVERIFY2(window.contains(rect), names[i]);
            for (qsizetype j = i + 1; j < names.size(); ++j)
                QVERIFY2(!rect.intersects(sceneRect(names[j])),
                         qPrintable(QStringLiteral("%1 overlaps %2").arg(names[i], names[j])));
        }
    }

    void sameErrorTwiceNotifiesOnce()
    {
        QSignalSpy errorChanges(m_window.get(), &LoginWindow::errorMessageChanged);
        m_window->login(QString(), QString());
        m_window->login(QString(), QStringLiteral("x"));
        QCOMPARE(errorChanges.count(), 1);
    }

    void responses_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("userId");

        QTest::addRow("complete") << QByteArray(R"({"token":"T1","user":{"id":"u-1","name":"Ana","email":"a@b.c","steamId":"765"}})")
                                  << true << "u-1";
        QTest::addRow("numeric id") << QByteArray(R"({"token":"T2","user":{"id":42,"name":"Ana"}})")
                                    << true << "";
        QTest::addRow("user not an object") << QByteArray(R"({"token":"T3","user":"Ana"})") << true
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
        m_window->login(QStringLiteral("a@b.c"), QStringLiteral("pw"));
        QTRY_VERIFY(!m_window->isLoading());

        if (succeeds) {
            QCOMPARE(success.count(), 1);
            QVERIFY(m_auth->isAuthenticated());
            QCOMPARE(m_auth->userId(), userId);
            QVERIFY(m_window->errorMessage().isEmpty());
        } else {
            QCOMPARE(success.count(), 0);
            QVERIFY(!m_auth->isAuthenticated());
            QCOMPARE(m_window->errorMessage(), QStringLiteral("Invalid response from server"));
        }
    }

    void signInAgainstTheSimulator()
    {
        PlatformSimulator simulator;
        QVERIFY(simulator.start());
        makeWindow(simulator.url());
        QSignalSpy success(m_window.get(), &LoginWindow::loginSuccessful);
        LogCapture log;
        typeCredentials(QStringLiteral("captain@corvanta.test"), QStringLiteral("captain1234"));
        QTest::keyClick(m_window.get(), Qt::Key_Enter);

        QTRY_COMPARE(success.count(), 1);
        QCOMPARE(m_auth->userName(), QStringLiteral("Sara Captain"));
        QCOMPARE(m_auth->steamId(), QStringLiteral("76561198000000002"));
        QVERIFY(!m_auth->token().isEmpty());
        QVERIFY(log.texts().contains(QStringLiteral("Login successful for: Sara Captain")));
        QVERIFY(!log.rawLines().join('\n').contains(m_auth->token()));
        // The window stays as it is; the launcher decides what happens next.
        QVERIFY(m_window->isVisible());
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
