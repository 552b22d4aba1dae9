#include "SystemTrayManager.h"

#include "Log.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

SystemTrayManager::SystemTrayManager(QObject *parent)
    : QObject(parent)
{
}

SystemTrayManager::~SystemTrayManager()
{
    if (m_trayIcon)
        m_trayIcon->hide();
}

QSystemTrayIcon *SystemTrayManager::trayIcon() const
{
    return m_trayIcon;
}

bool SystemTrayManager::initialize()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        logWarn(QStringLiteral("System tray is not available on this platform"));
        return false;
    }
    m_trayIcon = new QSystemTrayIcon(this);
    m_baseIcon = QIcon(QStringLiteral(":/icon.ico"));
    m_trayIcon->setIcon(m_baseIcon);
    m_trayIcon->setToolTip(QStringLiteral("Corvanta"));
    createMenu();
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            &SystemTrayManager::onTrayIconActivated);
    m_trayIcon->show();
    logInfo(QStringLiteral("System tray icon initialized"));
    return true;
}

void SystemTrayManager::createMenu()
{
    m_menu = std::make_unique<QMenu>();
    m_showAction = new QAction(QStringLiteral("Show Window"), this);
    connect(m_showAction, &QAction::triggered, this, &SystemTrayManager::onOpenLauncher);
    m_menu->addAction(m_showAction);
    m_menu->addSeparator();
    m_quitAction = new QAction(QStringLiteral("Quit"), this);
    connect(m_quitAction, &QAction::triggered, this, &SystemTrayManager::onQuit);
    m_menu->addAction(m_quitAction);
    m_trayIcon->setContextMenu(m_menu.get());
}

void SystemTrayManager::onOpenLauncher()
{
    logInfo(QStringLiteral("Show window requested from system tray"));
    emit openLauncherRequested();
}

void SystemTrayManager::onQuit()
{
    logInfo(QStringLiteral("Quit requested from system tray"));
    emit quitRequested();
    QCoreApplication::quit();
}

void SystemTrayManager::onTrayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
        emit openLauncherRequested();
}

void SystemTrayManager::updateBadge(int count)
{
    if (count == m_unreadCount)
        return;
    // The icon has two looks, plain and marked; a burst of notifications changes the count many
    // times a second, and redrawing the same look for each would keep the tray host busy.
    const bool lookChanges = (count > 0) != (m_unreadCount > 0);
    m_unreadCount = count;
    if (lookChanges)
        updateIcon();
    logDebug(QStringLiteral("Tray badge updated: %1 unread").arg(count));
}

void SystemTrayManager::updateIcon()
{
    if (!m_trayIcon || m_baseIcon.isNull())
        return;
    if (m_unreadCount <= 0) {
        m_trayIcon->setIcon(m_baseIcon);
        return;
    }
    QPixmap badged = m_baseIcon.pixmap(32, 32, QIcon::Normal, QIcon::Off);
    QPainter painter(&badged);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(239, 68, 68));
    painter.drawEllipse(QRect(badged.width() - 12, 0, 12, 12));
    painter.end();
    m_trayIcon->setIcon(QIcon(badged));
}
