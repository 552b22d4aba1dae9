#include "ApiClient.h"
#include "LogCapture.h"
#include "NotificationService.h"
#include "PlatformSimulator.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

// Runs on the offscreen platform, which has no system tray.
class TestNotificationService : public QObject
{
    Q_OBJECT

private:
    PlatformSimulator m_simulator;

    void setNotifications(const QJsonArray &notifications)
    {
        m_simulator.control("PUT", QStringLiteral("/__control/notifications"),
                            QJsonDocument(QJsonObject{{"email", "player@corvanta.test"},
                                                      {"notifications", notifications}}));
    }

    static QJsonObject notification(const QJsonValue &id, bool read, const QString &type)
    {
        return QJsonObject{{"id", id}, {"read", read}, {"type", type},
                           {"title", "Title " + type}, {"message", "Message"}};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_simulator.start());
        qputenv("API_BASE_URL", m_simulator.url().toUtf8());
    }

    // Match and lobby notices stand out; the platform's types in the case it sends them.
    void icons_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("icon");
        for (const char *type : {"match_starting", "MATCH_REMINDER", "LOBBY_READY"})
            QTest::addRow("%s", type) << type << int(QSystemTrayIcon::Critical);
        for (const char *type : {"team_invitation", "TOURNAMENT_STARTING"})
            QTest::addRow("%s", type) << type << int(QSystemTrayIcon::Warning);
        for (const char *type : {"lobby_ready", "Match_Starting", "SYSTEM", ""})
            QTest::addRow("'%s'", type) << type << int(QSystemTrayIcon::Information);
    }

    void icons()
    {
        QFETCH(QString, type);
        QFETCH(int, icon);
        QCOMPARE(int(NotificationService::iconForType(type)), icon);
    }

    void polling_data()
    {
        QTest::addColumn<QJsonArray>("notifications");
        QTest::addColumn<QStringList>("shown"); // titles announced by two polls in a row
        QTest::addColumn<QString>("logged");

        // No tray here: the balloon itself is dropped with the warning.
        const QString noTray = QStringLiteral("System tray not available for notifications");
        QTest::addRow("new unread first")
            << QJsonArray{notification("n-2", false, "LOBBY_READY"), notification("n-1", false, "X")}
            << QStringList({"Title LOBBY_READY"}) << noTray;
        QTest::addRow("first read, later unread")
            << QJsonArray{notification("n-2", true, "A"), notification("n-1", false, "B")}
            << QStringList() << QString();
        QTest::addRow("empty list") << QJsonArray() << QStringList() << QString();
        QTest::addRow("id not a string") << QJsonArray{notification(7, false, "A")}
                                         << QStringList() << QString();
        QTest::addRow("read missing counts as unread")
            << QJsonArray{QJsonObject{{"id", "n-9"}, {"type", "SYSTEM"}, {"title", "Title SYSTEM"}}}
            << QStringList({"Title SYSTEM"}) << noTray;
        QTest::addRow("signed out") << QJsonArray() << QStringList()
                                    << "Failed to poll notifications: Unauthorized";
    }

    void polling()
    {
        QFETCH(QJsonArray, notifications);
        QFETCH(QStringList, shown);
        QFETCH(QString, logged);
        setNotifications(notifications);
        ApiClient api;
        if (QByteArrayView(QTest::currentDataTag()) != "signed out")
            api.setAuthToken(m_simulator.tokenFor(QStringLiteral("player@corvanta.test")));
        NotificationService service(&api, nullptr);
        QSignalSpy announced(&service, &NotificationService::newNotification);
        LogCapture log;

        for (int poll = 0; poll < 2; ++poll) {
            QSignalSpy finished(&api, &ApiClient::requestFinished);
            QVERIFY(QMetaObject::invokeMethod(&service, "pollNotifications"));
            QTRY_COMPARE(finished.count(), 1);
        }
        QStringList titles;
        for (const QVariantList &call : announced)
            titles << call.value(1).toString();
        QCOMPARE(titles, shown);
        if (!shown.isEmpty())
            QCOMPARE(announced.constFirst().value(0).toString(),
                     notifications.first().toObject().value("type").toString());
        if (!logged.isEmpty())
            QTRY_VERIFY(log.texts().contains(logged));
    }
};

QTEST_MAIN(TestNotificationService)
#include "tst_notificationservice.moc"
