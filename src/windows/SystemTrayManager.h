#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;

// The application's tray icon: "Show Window" and "Quit", clicks that bring the launcher back, and
// a red dot while there are unread notifications.
class SystemTrayManager : public QObject
{
    Q_OBJECT

public:
    explicit SystemTrayManager(QObject *parent = nullptr);
    ~SystemTrayManager() override;

    bool initialize();
    void updateBadge(int count);
    QSystemTrayIcon *trayIcon() const;

signals:
    void openLauncherRequested();
    void quitRequested();

private slots:
    void onOpenLauncher();
    void onQuit();
    void onTrayIconActivated(QSystemTrayIcon::ActivationReason reason);

private:
    void createMenu();
    void updateIcon();

    QSystemTrayIcon *m_trayIcon = nullptr;
    std::unique_ptr<QMenu> m_menu;
    QAction *m_showAction = nullptr;
    QAction *m_quitAction = nullptr;
    QIcon m_baseIcon;
    int m_unreadCount = 0;
};
