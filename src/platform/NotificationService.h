#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

class ApiClient;

// Turns platform notifications into tray balloons, with an icon chosen by the notification type.
// Balloons are paced: the first shows at once, then at most one per BalloonIntervalMs. What
// arrives in between is summed up in the next balloon: the most urgent of it (the latest among
// equals) with the number of the others, so a burst never floods the desktop or stalls the
// program.
class NotificationService : public QObject
{
    Q_OBJECT

public:
    static constexpr int BalloonIntervalMs = 1000;

    // The tray icon may be null (no system tray); notifications are then dropped with a warning.
    NotificationService(ApiClient *apiClient, QSystemTrayIcon *trayIcon, QObject *parent = nullptr);

    void showNotification(const QString &title, const QString &message,
                          QSystemTrayIcon::MessageIcon icon);
    static QSystemTrayIcon::MessageIcon iconForType(const QString &type);

signals:
    void newNotification(const QString &type, const QString &title, const QString &message);

private slots:
    // One look at the newest notification over REST. The real-time connection delivers
    // notifications as they happen, so nothing starts the poll timer.
    void pollNotifications();

private:
    struct Balloon
    {
        QString title;
        QString message;
        QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::NoIcon;
    };

    void showBalloon(const Balloon &balloon);
    void showHeldBalloon();

    ApiClient *m_apiClient;
    QPointer<QSystemTrayIcon> m_trayIcon; // owned by the tray, which may go first at shutdown
    QTimer m_pollTimer;
    QString m_lastNotificationId;
    QTimer m_balloonTimer; // runs from one balloon until the next may show
    Balloon m_held;
    int m_heldCount = 0; // notifications that arrived while the timer ran
};
