#include "LauncherApplication.h"

#include "ApiClient.h"
#include "AuthManager.h"
#include "Config.h"
#include "DashboardWindow.h"
#include "Log.h"
#include "LoginWindow.h"
#include "MatchData.h"
#include "NotificationService.h"
#include "OverlayController.h"
#include "SteamLauncher.h"
#include "SystemTrayManager.h"
#include "WebSocketClient.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

void bringToFront(QWindow *window)
{
    window->show();
    window->raise();
    window->requestActivate();
}

// A dashboard's web view, scene graph and render thread free a few MiB spread over the
// allocator's per-thread arenas, which glibc keeps as resident memory: every replaced dashboard
// would add to the process for good. Handing free pages back keeps reopening flat.
void releaseFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// glibc raises its mmap threshold each time a large block is freed, after which window-sized
// buffers come from the heap and what they leave there stays resident: reopening the dashboard
// then crept by up to 16 MiB over twenty reopenings with nothing live behind it. A fixed threshold
// keeps such buffers mapped on their own, and freeing one hands it back.
void keepLargeBlocksMapped()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

} // namespace

LauncherApplication::LauncherApplication(QObject *parent)
    : QObject(parent)
{
    keepLargeBlocksMapped();
    logInfo(QStringLiteral("Creating LauncherApplication..."));
    m_authManager = std::make_unique<AuthManager>(this);
    m_apiClient = std::make_unique<ApiClient>(this);
    m_webSocketClient = std::make_unique<WebSocketClient>(this);
    m_steamLauncher = std::make_unique<SteamLauncher>(this);
    m_trayManager = std::make_unique<SystemTrayManager>();
    m_overlayController = std::make_unique<OverlayController>(m_apiClient.get(),
                                                              m_webSocketClient.get(), this);
    logInfo(QStringLiteral("LauncherApplication created"));
}

LauncherApplication::~LauncherApplication()
{
    logInfo(QStringLiteral("LauncherApplication shutting down..."));
    stopServices();
    emit applicationShuttingDown();
    delete m_retiringDashboard;
    m_dashboardWindow.reset();
    m_loginWindow.reset();
    m_trayManager.reset();
    m_overlayController.reset();
    m_notificationService.reset();
    m_steamLauncher.reset();
    m_webSocketClient.reset();
    m_apiClient.reset();
    m_authManager.reset();
}

bool LauncherApplication::initialize()
{
    logInfo(QStringLiteral("Initializing LauncherApplication..."));
    if (!m_trayManager->initialize())
        logWarn(QStringLiteral("System tray initialization failed"));
    m_notificationService = std::make_unique<NotificationService>(
        m_apiClient.get(), m_trayManager->trayIcon(), this);
    m_overlayController->initialize();
    setupConnections();
    m_loginWindow = std::make_unique<LoginWindow>(m_authManager.get(), m_apiClient.get());
    m_loginWindow->installEventFilter(this);
    connect(m_loginWindow.get(), &LoginWindow::loginSuccessful, this,
            &LauncherApplication::onLoginSuccessful);
    m_initialized = true;
    logInfo(QStringLiteral("LauncherApplication initialized successfully"));
    return true;
}

void LauncherApplication::run()
{
    if (!m_initialized) {
        logError(QStringLiteral("LauncherApplication not initialized!"));
        return;
    }
    logInfo(QStringLiteral("Running LauncherApplication..."));
    if (m_authManager->restoreSession()) {
        logInfo(QStringLiteral("Session restored, showing dashboard..."));
        m_apiClient->setAuthToken(m_authManager->token());
        showDashboard();
        startServices();
    } else {
        logInfo(QStringLiteral("No session found, showing login..."));
        showLogin();
    }
    emit applicationReady();
}

void LauncherApplication::setupConnections()
{
    connect(m_trayManager.get(), &SystemTrayManager::openLauncherRequested, this,
            &LauncherApplication::onTrayActivated);
    connect(m_authManager.get(), &AuthManager::sessionCleared, this, [this] {
        stopServices();
        if (m_dashboardWindow)
            m_dashboardWindow->hide();
        showLogin();
    });
    connect(m_webSocketClient.get(), &WebSocketClient::notificationReceived, this,
            [this](const QString &type, const QString &title, const QString &message) {
                m_notificationService->showNotification(title, message,
                                                        NotificationService::iconForType(type));
            });
    connect(m_webSocketClient.get(), &WebSocketClient::unreadCountChanged, this,
            [this](int count) { m_trayManager->updateBadge(count); });
    // Queued: the client is still inside its frame handler when it reports the refusal.
    connect(m_webSocketClient.get(), &WebSocketClient::authenticationFailed, this,
            &LauncherApplication::onSessionRejected, Qt::QueuedConnection);
}

void LauncherApplication::createDashboard()
{
    logInfo(QStringLiteral("Creating DashboardWindow..."));
    m_dashboardWindow = std::make_unique<DashboardWindow>(m_authManager.get());
    DashboardWindow *dashboard = m_dashboardWindow.get();
    dashboard->installEventFilter(this);
    connect(dashboard, &DashboardWindow::logoutRequested, this,
            &LauncherApplication::onLogoutRequested);
    connect(dashboard, &DashboardWindow::matchReady, this, &LauncherApplication::onMatchReady);
    connect(dashboard, &DashboardWindow::matchStarted, this, &LauncherApplication::onMatchStarted);
    connect(dashboard, &DashboardWindow::lobbyJoined, this, &LauncherApplication::onLobbyJoined);
    connect(dashboard, &DashboardWindow::lobbyLeft, this, &LauncherApplication::onLobbyLeft);
    connect(dashboard, &DashboardWindow::slotOccupied, this, &LauncherApplication::onSlotOccupied);
}

void LauncherApplication::recreateDashboard()
{
    logInfo(QStringLiteral("Recreating DashboardWindow..."));
    if (m_dashboardWindow) {
        // A previous replacement still waiting for its page goes now.
        delete m_retiringDashboard;
        m_retiringDashboard = m_dashboardWindow.release();
        connect(m_retiringDashboard, &QObject::destroyed, this,
                [] { QTimer::singleShot(1000, &releaseFreedMemory); });
        m_retiringDashboard->retire();
    }
    createDashboard();
}

void LauncherApplication::showDashboard()
{
    if (m_loginWindow->isVisible())
        m_loginWindow->hide();
    if (!m_dashboardWindow)
        createDashboard();
    bringToFront(m_dashboardWindow.get());
}

void LauncherApplication::showLogin()
{
    if (m_dashboardWindow && m_dashboardWindow->isVisible())
        m_dashboardWindow->hide();
    bringToFront(m_loginWindow.get());
}

void LauncherApplication::startServices()
{
    logInfo(QStringLiteral("Starting services..."));
    connectWebSocket();
    // The tray manager outlives every request of the REST client, which the launcher owns too,
    // but a reply may still arrive during teardown.
    QPointer<SystemTrayManager> tray(m_trayManager.get());
    m_apiClient->getUnreadCount(
        [tray](int count) {
            if (tray)
                tray->updateBadge(count);
        },
        [](const QString &error) {
            logWarn(QStringLiteral("Failed to fetch unread count: %1").arg(error));
        });
    m_overlayController->setCredentials(m_authManager->token(), m_authManager->userId(),
                                        m_authManager->steamId());
    m_overlayController->start();
    logInfo(QStringLiteral("Services started"));
}

void LauncherApplication::stopServices()
{
    logInfo(QStringLiteral("Stopping services..."));
    m_overlayController->stop();
    disconnectWebSocket();
    m_trayManager->updateBadge(0);
    logInfo(QStringLiteral("Services stopped"));
}

void LauncherApplication::connectWebSocket()
{
    const QString token = m_authManager->token();
    if (token.isEmpty())
        return;
    logInfo(QStringLiteral("Connecting WebSocket..."));
    if (m_webSocketClient->isConnected())
        m_webSocketClient->reconnectWithCredentials(token, m_authManager->userId());
    else
        m_webSocketClient->connectToServer(Config::webSocketUrl(), token, m_authManager->userId());
}

void LauncherApplication::disconnectWebSocket()
{
    logInfo(QStringLiteral("Disconnecting WebSocket..."));
    m_webSocketClient->disconnectFromServer();
}

// Closing a window only hides it, and the tray brings it back. Without a tray nothing could: the
// last window closed ends the program as the tray's "Quit" does.
bool LauncherApplication::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && !m_trayManager->trayIcon())
        QTimer::singleShot(0, this, &LauncherApplication::quitIfNoWindowLeft);
    return QObject::eventFilter(watched, event);
}

void LauncherApplication::quitIfNoWindowLeft()
{
    if ((m_loginWindow && m_loginWindow->isVisible())
        || (m_dashboardWindow && m_dashboardWindow->isVisible()))
        return;
    logInfo(QStringLiteral("No system tray to reopen a window from: quitting"));
    QCoreApplication::quit();
}

void LauncherApplication::onLoginSuccessful()
{
    logInfo(QStringLiteral("Login successful, transitioning to dashboard..."));
    m_apiClient->setAuthToken(m_authManager->token());
    showDashboard();
    startServices();
}

void LauncherApplication::onLogoutRequested()
{
    logInfo(QStringLiteral("Logout requested..."));
    stopServices();
    m_authManager->clearSession();
    m_apiClient->setAuthToken(QString());
    showLogin();
}

// The platform no longer accepts the stored token (it expired or was revoked): the session ends as
// at a logout, and the login window says why.
void LauncherApplication::onSessionRejected()
{
    if (m_authManager->token().isEmpty())
        return; // already signed out
    logWarn(QStringLiteral("The platform refused the session, signing out"));
    onLogoutRequested();
    m_loginWindow->showMessage(QStringLiteral("Your session has expired. Please sign in again."));
}

void LauncherApplication::onTrayActivated()
{
    showWindow();
}

void LauncherApplication::showWindow()
{
    if (m_authManager->token().isEmpty()) {
        bringToFront(m_loginWindow.get());
        return;
    }
    // A hidden dashboard is replaced by a fresh one, whose page loads anew.
    if (!m_dashboardWindow || !m_dashboardWindow->isVisible())
        recreateDashboard();
    bringToFront(m_dashboardWindow.get());
}

void LauncherApplication::onMatchReady(const QVariantMap &matchData)
{
    logInfo(QStringLiteral("Match ready event from dashboard"));
    // A missing key converts to the empty string, 0 or false: a map without "slotNumber" names
    // slot 0.
    MatchData match;
    match.matchId = matchData.value(QStringLiteral("matchId")).toString();
    match.lobbyName = matchData.value(QStringLiteral("lobbyName")).toString();
    match.userSide = matchData.value(QStringLiteral("playerSide")).toString();
    match.playerSide = matchData.value(QStringLiteral("playerSide")).toString();
    match.slotNumber = matchData.value(QStringLiteral("slotNumber")).toInt();
    match.isCaptain = matchData.value(QStringLiteral("isCaptain")).toBool();
    match.receivedAt = QDateTime::currentDateTime();
    match.isJoinedLobby = matchData.value(QStringLiteral("isJoinedLobby")).toBool();
    m_overlayController->handleMatchStart(match);
}

void LauncherApplication::onMatchStarted(const QString &matchId)
{
    logInfo(QStringLiteral("Match started: %1").arg(matchId));
    m_overlayController->handleGameStarted();
}

void LauncherApplication::onLobbyJoined()
{
    logInfo(QStringLiteral("Lobby joined event from dashboard"));
    m_overlayController->handleLobbyJoined();
}

void LauncherApplication::onLobbyLeft()
{
    logInfo(QStringLiteral("Lobby left event from dashboard"));
    m_overlayController->handleLobbyLeft();
}

void LauncherApplication::onSlotOccupied(const QString &side, int slotNumber)
{
    logInfo(QStringLiteral("Slot occupied: %1 - %2").arg(side).arg(slotNumber));
    m_overlayController->handleSlotOccupied(side, slotNumber);
}
