#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

class ApiClient;

// Turns platform notifications into tray balloons, with an icon chosen by the notification type.
class NotificationService : public QObject
{
    Q_OBJECT

public:
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
    ApiClient *m_apiClient;
    QSystemTrayIcon *m_trayIcon;
    QTimer m_pollTimer;
    QString m_lastNotificationId;
};
