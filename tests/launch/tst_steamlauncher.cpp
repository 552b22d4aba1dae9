#include "LogCapture.h"
#include "SteamLauncher.h"
#include "UrlCatcher.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSteamLauncher : public QObject
{
    Q_OBJECT

private:
    SteamLauncher m_launcher;

private slots:
    // Steam opens the URL, the lobby id in it as given and the password never; or the desktop
    // refuses it (a handler whose method does not exist reports the URL as not opened).
    void launches_data()
    {
        QTest::addColumn<bool>("lobby");
        QTest::addColumn<QString>("lobbyId");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("error"); // empty: the URL is opened
        const QString game = QStringLiteral("steam://rungameid/570");
        QTest::addRow("plain") << false << "" << "" << game << "";
        QTest::addRow("lobby id unescaped") << true << "a b&c" << "" << game + "//+connect_lobby a b&c" << "";
        QTest::addRow("empty lobby id") << true << "" << "" << game + "//+connect_lobby " << "";
        QTest::addRow("with password") << true << "42" << "p@ss word!" << game + "//+connect_lobby 42" << "";
        QTest::addRow("plain refused") << false << "" << "" << game << "Failed to launch Dota 2";
        QTest::addRow("lobby refused") << true << "7" << "" << game + "//+connect_lobby 7"
                                       << "Failed to launch Dota 2 with lobby";
    }

    void launches()
    {
        QFETCH(bool, lobby);
        QFETCH(QString, lobbyId);
        QFETCH(QString, password);
        QFETCH(QString, url);
        QFETCH(QString, error);
        QObject nobody;
        UrlCatcher steam({QStringLiteral("steam")});
        if (!error.isEmpty())
            QDesktopServices::setUrlHandler(QStringLiteral("steam"), &nobody, "noSuchHandler");
        QSignalSpy started(&m_launcher, &SteamLauncher::launchStarted);
        QSignalSpy failed(&m_launcher, &SteamLauncher::launchFailed);
        LogCapture log;

        const bool opened = lobby ? m_launcher.launchDota2WithLobby(lobbyId, password)
                                  : m_launcher.launchDota2();

        QCOMPARE(opened, error.isEmpty());
        QCOMPARE(started.count(), 1);
        if (error.isEmpty()) {
            QCOMPARE(steam.opened, QList<QUrl>({QUrl(url, QUrl::TolerantMode)}));
            QCOMPARE(failed.count(), 0);
            QCOMPARE(log.count(QStringLiteral("Opening Steam URL: %1").arg(url)), 1);
        } else {
            QCOMPARE(failed, QList<QVariantList>({{error}}));
            QCOMPARE(log.count(QStringLiteral("Failed to open Steam URL: %1").arg(url)), 1);
        }
        if (!password.isEmpty())
            QVERIFY(!log.rawLines().join('\n').contains(password));
    }

    void passwordGoesToTheClipboardOnly()
    {
        UrlCatcher steam({QStringLiteral("steam")});
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        LogCapture log;
        QVERIFY(m_launcher.launchDota2WithLobby(QStringLiteral("42"), QStringLiteral("hunter2")));
        QTRY_COMPARE(clipboard->text(), QStringLiteral("hunter2"));
        QVERIFY(!log.rawLines().join('\n').contains(QLatin1String("hunter2")));

        clipboard->setText(QStringLiteral("untouched"));
        QVERIFY(m_launcher.launchDota2WithLobby(QStringLiteral("43")));
        QTest::qWait(100);
        QCOMPARE(clipboard->text(), QStringLiteral("untouched"));
    }

    void runningGame_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("running");
        QTest::addRow("Dota2.EXE") << "Dota2.EXE" << true;
        QTest::addRow("native dota2") << "dota2" << true;
        QTest::addRow("dota2.exe.bak") << "dota2.exe.bak" << false;
        QTest::addRow("notdota2.exe") << "notdota2.exe" << false;
    }

    void runningGame()
    {
        QFETCH(QString, name);
        QFETCH(bool, running);
        QVERIFY2(!m_launcher.isDota2Running(), "a game process is already running on this machine");

        // A real process whose executable carries the name.
        QTemporaryDir dir;
        const QString program = dir.filePath(name);
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
        QProcess process;
        process.start(program, {QStringLiteral("30")});
        QVERIFY(process.waitForStarted());
        QTRY_COMPARE(m_launcher.isDota2Running(), running);
        if (!running) {
            QTest::qWait(100);
            QVERIFY(!m_launcher.isDota2Running());
        }
        process.kill();
        process.waitForFinished();
        QTRY_VERIFY(!m_launcher.isDota2Running());
    }
};

QTEST_MAIN(TestSteamLauncher)
#include "tst_steamlauncher.moc"
