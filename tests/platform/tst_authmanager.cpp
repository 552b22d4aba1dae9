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

    void savedInOneProcessRestoredInAnother()
    {
        const QString token = QString::fromUtf8("tok/en+=with spaces ✓");
        QCOMPARE(probe({"save", token, "u-1", QString::fromUtf8("بازیکن"), "a@b.c", "7656"}),
                 QByteArray());
        QCOMPARE(QJsonDocument::fromJson(probe({"restore"})).object(),
                 QJsonObject({{"restored", true}, {"token", token}, {"userId", "u-1"},
                              {"userName", QString::fromUtf8("بازیکن")}, {"userEmail", "a@b.c"},
                              {"steamId", "7656"}}));
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

    // What the windows and the socket client follow: user fields left without a token are no
    // session; then a session saved, restored and cleared, leaving nothing in the store and its
    // token in no log line.
    void sessionLifecycle()
    {
        {
            QSettings store(storePath(), QSettings::IniFormat);
            store.setValue(QStringLiteral("auth/userName"), QStringLiteral("Left Over"));
        }
        AuthManager auth;
        QSignalSpy state(&auth, &AuthManager::authStateChanged);
        QSignalSpy restored(&auth, &AuthManager::sessionRestored);
        QSignalSpy cleared(&auth, &AuthManager::sessionCleared);
        LogCapture log;
        QVERIFY(!auth.restoreSession());
        QVERIFY(!auth.isAuthenticated());
        QCOMPARE(state.count() + restored.count(), 0);
        auth.saveSession(QStringLiteral("SECRET-TOKEN"), QStringLiteral("u-9"), QStringLiteral("Sara"),
                         QStringLiteral("sara@corvanta.test"), QStringLiteral("s"));
        QCOMPARE(state.count(), 1);
        QVERIFY(auth.restoreSession());
        QCOMPARE(restored.count(), 1);
        QCOMPARE(state.count(), 2);
        auth.clearSession();
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(state.count(), 3);
        QVERIFY(!auth.isAuthenticated());
        QCOMPARE(QSettings(storePath(), QSettings::IniFormat).allKeys(), QStringList());
        QVERIFY(log.texts().join('\n').contains(QLatin1String("Sara")));
        QVERIFY(!log.rawLines().join('\n').contains(QLatin1String("SECRET-TOKEN")));
    }
};

QTEST_GUILESS_MAIN(TestAuthManager)
#include "tst_authmanager.moc"
