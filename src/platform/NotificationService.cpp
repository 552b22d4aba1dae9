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
    m_balloonTimer.setSingleShot(true);
    m_balloonTimer.setInterval(BalloonIntervalMs);
    connect(&m_balloonTimer, &QTimer::timeout, this, &NotificationService::showHeldBalloon);
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
    // Asking the desktop whether it has a tray is a round trip to the display server: once a
    // balloon, not once a notification.
    if (!m_trayIcon || (!m_balloonTimer.isActive() && !QSystemTrayIcon::isSystemTrayAvailable())) {
        logWarn(QStringLiteral("System tray not available for notifications"));
        return;
    }
    if (!m_balloonTimer.isActive()) {
        showBalloon({title, message, icon});
        return;
    }
    // MessageIcon grows with urgency: Information, Warning, Critical.
    if (m_heldCount == 0 || icon >= m_held.icon)
        m_held = {title, message, icon};
    ++m_heldCount;
}

void NotificationService::showBalloon(const Balloon &balloon)
{
    m_trayIcon->showMessage(balloon.title, balloon.message, balloon.icon, 5000);
    logDebug(QStringLiteral("Notification shown: %1 - %2").arg(balloon.title, balloon.message));
    m_balloonTimer.start();
}

void NotificationService::showHeldBalloon()
{
    if (m_heldCount == 0 || !m_trayIcon || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    Balloon balloon = m_held;
    if (m_heldCount > 1)
        balloon.message += QStringLiteral("\n(+%1 more)").arg(m_heldCount - 1);
    m_heldCount = 0;
    showBalloon(balloon);
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
