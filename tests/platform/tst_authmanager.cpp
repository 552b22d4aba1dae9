#include "AuthManager.h"
#include "LogCapture.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestAuthManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;

    QString storePath() const
    {
        return m_config.filePath(QStringLiteral("Corvanta/Launcher.conf"));
    }

    QByteArray probe(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(SESSION_PROBE), arguments);
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            return "probe failed";
        return process.readAllStandardOutput();
    }

    // The order in which the session store's three signals fire during `action`.
    static QStringList signalsDuring(AuthManager &auth, const std::function<void()> &action)
    {
        QStringList fired;
        const auto c1 = connect(&auth, &AuthManager::authStateChanged, &auth,
                                [&] { fired << "authStateChanged"; });
        const auto c2 = connect(&auth, &AuthManager::sessionRestored, &auth,
                                [&] { fired << "sessionRestored"; });
        const auto c3 = connect(&auth, &AuthManager::sessionCleared, &auth,
                                [&] { fired << "sessionCleared"; });
        action();
        disconnect(c1);
        disconnect(c2);
        disconnect(c3);
        return fired;
    }

private slots:
    void initTestCase()
    {
        // Before the first settings object, so the store lives in the temporary folder.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void init()
    {
        QFile::remove(storePath());
    }

    void nothingStored()
    {
        AuthManager auth;
        LogCapture log;
        QStringList fired;
        bool restored = true;
        fired = signalsDuring(auth, [&] { restored = auth.restoreSession(); });
        QVERIFY(!restored);
        QVERIFY(fired.isEmpty());
        QVERIFY(!auth.isAuthenticated());
        QCOMPARE(log.texts(), QStringList({"Attempting to restore session...",
                                           "No saved session found"}));
    }

    void savedInOneProcessRestoredInAnother()
    {
        const QString token = QString::fromUtf8("tok/en+=with spaces ✓");
        QCOMPARE(probe({"save", token, "u-1", QString::fromUtf8("بازیکن"), "a@b.c", "7656"}),
                 QByteArray());
        const QJsonObject restored = QJsonDocument::fromJson(probe({"restore"})).object();
        QCOMPARE(restored.value("restored").toBool(), true);
        QCOMPARE(restored.value("token").toString(), token);
        QCOMPARE(restored.value("userId").toString(), QStringLiteral("u-1"));
        QCOMPARE(restored.value("userName").toString(), QString::fromUtf8("بازیکن"));
        QCOMPARE(restored.value("userEmail").toString(), QStringLiteral("a@b.c"));
        QCOMPARE(restored.value("steamId").toString(), QStringLiteral("7656"));
    }

    void storeIsReadableByItsOwnerOnly()
    {
        AuthManager auth;
        auth.saveSession(QStringLiteral("secret"), QStringLiteral("u"), QStringLiteral("n"),
                         QStringLiteral("e"), QStringLiteral("s"));
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
        QCOMPARE(QFile::permissions(storePath()) & ~(QFile::ReadUser | QFile::WriteUser), owner);
        QVERIFY(!(QFile::permissions(m_config.filePath(QStringLiteral("Corvanta")))
                  & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeGroup | QFile::ExeOther)));
        // A second write replaces the file; it stays closed.
        auth.saveSession(QStringLiteral("secret2"), {}, {}, {}, {});
        QCOMPARE(QFile::permissions(storePath()) & ~(QFile::ReadUser | QFile::WriteUser), owner);
    }

    void signalOrder_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("expected");
        QTest::addRow("save") << "save" << QStringList({"authStateChanged"});
        QTest::addRow("restore") << "restore"
                                 << QStringList({"sessionRestored", "authStateChanged"});
        QTest::addRow("clear") << "clear" << QStringList({"sessionCleared", "authStateChanged"});
    }

    void signalOrder()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, expected);
        AuthManager auth;
        auth.saveSession(QStringLiteral("t"), QStringLiteral("u"), QStringLiteral("n"),
                         QStringLiteral("e"), QStringLiteral("s"));
        const QStringList fired = signalsDuring(auth, [&] {
            if (operation == QLatin1String("save"))
                auth.saveSession(QStringLiteral("t2"), {}, {}, {}, {});
            else if (operation == QLatin1String("restore"))
                auth.restoreSession();
            else
                auth.clearSession();
        });
        QCOMPARE(fired, expected);
    }

    void clearingRemovesEveryKey()
    {
        AuthManager auth;
        auth.saveSession(QStringLiteral("t"), QStringLiteral("u"), QStringLiteral("n"),
                         QStringLiteral("e"), QStringLiteral("s"));
        LogCapture log;
        auth.clearSession();
        QCOMPARE(log.texts(), QStringList({"Session cleared"}));
        QVERIFY(!auth.isAuthenticated());
        QVERIFY(auth.token().isEmpty() && auth.userName().isEmpty() && auth.steamId().isEmpty());

        QSettings store(storePath(), QSettings::IniFormat);
        QCOMPARE(store.allKeys(), QStringList());
        QCOMPARE(QJsonDocument::fromJson(probe({"restore"})).object().value("restored").toBool(),
                 false);
    }

    void userFieldsWithoutTokenAreNoSession()
    {
        {
            QSettings store(storePath(), QSettings::IniFormat);
            store.setValue(QStringLiteral("auth/userName"), QStringLiteral("Left Over"));
        }
        AuthManager auth;
        QVERIFY(!auth.restoreSession());
        QVERIFY(!auth.isAuthenticated());
        QCOMPARE(auth.userName(), QStringLiteral("Left Over"));
    }

    void logLinesNameTheUserNotTheToken()
    {
        AuthManager auth;
        LogCapture log;
        auth.saveSession(QStringLiteral("SECRET-TOKEN"), QStringLiteral("u-9"),
                         QStringLiteral("Sara"), QStringLiteral("sara@corvanta.test"), {});
        auth.restoreSession();
        QCOMPARE(log.texts(), QStringList({"Session saved for user: Sara (sara@corvanta.test)",
                                           "Attempting to restore session...",
                                           "Session restored for user: Sara (sara@corvanta.test)"}));
        QVERIFY(!log.rawLines().join('\n').contains(QLatin1String("SECRET-TOKEN")));
    }

    void propertiesForQml()
    {
        AuthManager auth;
        auth.saveSession(QStringLiteral("t"), QStringLiteral("u-1"), QStringLiteral("Name"),
                         QStringLiteral("e@x"), QStringLiteral("765"));
        QCOMPARE(auth.property("isAuthenticated").toBool(), true);
        QCOMPARE(auth.property("userId").toString(), QStringLiteral("u-1"));
        QCOMPARE(auth.property("steamId").toString(), QStringLiteral("765"));
        QVERIFY(!auth.property("token").isValid()); // the token is no property
    }
};

QTEST_GUILESS_MAIN(TestAuthManager)
#include "tst_authmanager.moc"
