#include "NotificationService.h"

#include "ApiClient.h"
#include "Log.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>

NotificationService::NotificationService(ApiClient *apiClient, QSystemTrayIcon *trayIcon,
                                         QObject *parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_trayIcon(trayIcon)
{
    connect(&m_pollTimer, &QTimer::timeout, this, &NotificationService::pollNotifications);
    logInfo(QStringLiteral("NotificationService initialized"));
}

QSystemTrayIcon::MessageIcon NotificationService::iconForType(const QString &type)
{
    static const QStringList critical = {
        QStringLiteral("match_starting"), QStringLiteral("match_reminder"),
        QStringLiteral("MATCH_STARTING"), QStringLiteral("MATCH_REMINDER"),
        QStringLiteral("LOBBY_READY")};
    static const QStringList warning = {
        QStringLiteral("team_invitation"), QStringLiteral("tournament_starting"),
        QStringLiteral("TEAM_INVITATION"), QStringLiteral("TOURNAMENT_STARTING")};
    if (critical.contains(type))
        return QSystemTrayIcon::Critical;
    if (warning.contains(type))
        return QSystemTrayIcon::Warning;
    return QSystemTrayIcon::Information;
}

void NotificationService::showNotification(const QString &title, const QString &message,
                                           QSystemTrayIcon::MessageIcon icon)
{
    if (!m_trayIcon || !QSystemTrayIcon::isSystemTrayAvailable()) {
        logWarn(QStringLiteral("System tray not available for notifications"));
        return;
    }
    m_trayIcon->showMessage(title, message, icon, 5000);
    logDebug(QStringLiteral("Notification shown: %1 - %2").arg(title, message));
}

void NotificationService::pollNotifications()
{
    QPointer<NotificationService> self(this);
    m_apiClient->getNotifications(
        [self](const QJsonArray &notifications) {
            if (!self || notifications.isEmpty())
                return;
            const QJsonObject newest = notifications.first().toObject();
            const QString id = newest.value(QLatin1String("id")).toString();
            if (id == self->m_lastNotificationId
                || newest.value(QLatin1String("read")).toBool(false))
                return;
            const QString type = newest.value(QLatin1String("type")).toString();
            const QString title = newest.value(QLatin1String("title")).toString();
            const QString message = newest.value(QLatin1String("message")).toString();
            logInfo(QStringLiteral("New notification: %1 - %2").arg(title, type));
            self->showNotification(title, message, iconForType(type));
            emit self->newNotification(type, title, message);
            self->m_lastNotificationId = id;
        },
        [](const QString &error) {
            logError(QStringLiteral("Failed to poll notifications: %1").arg(error));
        });
}
