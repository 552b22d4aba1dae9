#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <memory>

class ApiClient;
class AuthManager;
class DashboardWindow;
class LoginWindow;
class NotificationService;
class OverlayController;
class SteamLauncher;
class SystemTrayManager;
class WebSocketClient;

// The spine of the launcher: creates and owns the services and the launcher windows, wires them
// together, chooses the first window and starts and stops the per-session services.
class LauncherApplication : public QObject
{
    Q_OBJECT

public:
    explicit LauncherApplication(QObject *parent = nullptr);
    ~LauncherApplication() override;

    bool initialize();
    // The match overlay, for observers; it lives as long as the launcher.
    OverlayController *overlayController() const { return m_overlayController.get(); }
    // Called once, when the splash has finished.
    void run();
    // Brings back the window that fits the state: the login window, or a dashboard. Used by the
    // tray's "Show Window" and by a second start of the program.
    void showWindow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void applicationReady();
    void applicationShuttingDown();

private slots:
    void onLoginSuccessful();
    void onLogoutRequested();
    void onSessionRejected();
    void onTrayActivated();
    void onMatchReady(const QVariantMap &matchData);
    void onMatchStarted(const QString &matchId);
    void onLobbyJoined();
    void onLobbyLeft();
    void onSlotOccupied(const QString &side, int slotNumber);

private:
    void setupConnections();
    void createDashboard();
    void recreateDashboard();
    void showDashboard();
    void showLogin();
    void startServices();
    void stopServices();
    void connectWebSocket();
    void disconnectWebSocket();
    void quitIfNoWindowLeft();

    // Owned components, destroyed in reverse order.
    std::unique_ptr<AuthManager> m_authManager;
    std::unique_ptr<ApiClient> m_apiClient;
    std::unique_ptr<WebSocketClient> m_webSocketClient;
    // Reachable through the meta-object system only; nothing in the launcher calls it.
    std::unique_ptr<SteamLauncher> m_steamLauncher;
    std::unique_ptr<NotificationService> m_notificationService;
    std::unique_ptr<OverlayController> m_overlayController;
    std::unique_ptr<SystemTrayManager> m_trayManager;
    std::unique_ptr<LoginWindow> m_loginWindow;
    std::unique_ptr<DashboardWindow> m_dashboardWindow;
    // A replaced dashboard handing on its page's last messages; it deletes itself.
    QPointer<DashboardWindow> m_retiringDashboard;

    bool m_initialized = false;
};
