#include "DashboardWindow.h"

#include "AuthManager.h"
#include "Config.h"
#include "Log.h"
#include "QmlPage.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QQmlContext>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

DashboardWindow::DashboardWindow(AuthManager *authManager, QWindow *parent)
    : QQuickView(parent)
    , m_authManager(authManager)
{
    rootContext()->setContextProperty(QStringLiteral("dashboardWindow"), this);
    rootContext()->setContextProperty(QStringLiteral("authManager"), authManager);
    updateDashboardUrl();

    setTitle(QStringLiteral("Corvanta"));
    setResizeMode(QQuickView::SizeRootObjectToView);
    setMinimumSize(QSize(800, 600));
    setFlags(Qt::Window);
    fitToScreen();
    loadQmlPage(this, QStringLiteral("DashboardView.qml"));

    connect(authManager, &AuthManager::authStateChanged, this,
            &DashboardWindow::updateDashboardUrl);
    logInfo(QStringLiteral("DashboardWindow created"));
}

// 1920 x 1080 where that fits beside the panels; otherwise the window opens maximised, so that
// the window manager fits it, frame and all, into the screen's free area.
void DashboardWindow::fitToScreen()
{
    const QSize wanted(1920, 1080);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableSize() : wanted;
    resize(wanted.boundedTo(available));
    m_openMaximized = wanted.width() >= available.width() || wanted.height() >= available.height();
}

// show() shows a window in its normal state; the first showing is where the state is chosen.
void DashboardWindow::showEvent(QShowEvent *event)
{
    if (m_openMaximized) {
        m_openMaximized = false;
        setWindowStates(Qt::WindowMaximized);
    }
    QQuickView::showEvent(event);
}

QString DashboardWindow::dashboardUrl() const
{
    return m_dashboardUrl;
}

void DashboardWindow::updateDashboardUrl()
{
    const QString token = m_authManager->token();
    if (token.isEmpty()) {
        m_dashboardUrl.clear();
        emit dashboardUrlChanged();
        return;
    }
    QUrl url(Config::apiBaseUrl() + QStringLiteral("/launcher-auth"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("token"), token);
    url.setQuery(query);
    m_dashboardUrl = url.toString();
    emit dashboardUrlChanged();
    // The token itself never reaches the log.
    logInfo(QStringLiteral("Dashboard URL set: %1")
                .arg(Config::apiBaseUrl() + QStringLiteral("/launcher-auth?token=...")));
}

namespace {

bool isLocalHost(const QString &host)
{
    return host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1");
}

// The simulator and development servers speak plain http on this machine; the platform does not.
bool platformIsLocal()
{
    const QUrl base(Config::apiBaseUrl());
    return base.scheme() == QLatin1String("http") || isLocalHost(base.host());
}

} // namespace

bool DashboardWindow::isAllowedUrl(const QString &url) const
{
    const QUrl address(url, QUrl::TolerantMode);
    // QUrl keeps the scheme and host of an address it could not read (say, a port that is no
    // number): such an address is no page of the platform.
    if (!address.isValid())
        return false;
    const QString scheme = address.scheme();
    const QString host = address.host(QUrl::FullyDecoded);
    const QString domain = Config::platformDomain();
    const bool platformHost = host == domain || host.endsWith(QLatin1Char('.') + domain);
    if (scheme == QLatin1String("https") && platformHost)
        return true;
    const bool web = scheme == QLatin1String("https") || scheme == QLatin1String("http");
    return web && platformIsLocal() && (platformHost || isLocalHost(host));
}

bool DashboardWindow::isLogoutUrl(const QString &url) const
{
    const QUrl address(url, QUrl::TolerantMode);
    // Valid first: "app://logout:x" has the scheme and host of the sign-out address.
    return address.isValid() && address.scheme() == QLatin1String("app")
        && address.host() == QLatin1String("logout")
        && (address.path().isEmpty() || address.path() == QLatin1String("/"))
        && !address.hasQuery() && !address.hasFragment() && address.userInfo().isEmpty()
        && address.port() == -1;
}

void DashboardWindow::logout()
{
    emit logoutRequested();
}

void DashboardWindow::openExternal(const QString &url)
{
    // Only web pages go to the browser: other schemes would hand the page a way to run programs
    // or open files on this machine. The address's query may carry secrets, so it is not logged.
    const QUrl address(url, QUrl::TolerantMode);
    if (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")) {
        logWarn(QStringLiteral("Refused to open an address with the scheme \"%1\"")
                    .arg(address.scheme().left(32)));
        return;
    }
    QDesktopServices::openUrl(address);
}

void DashboardWindow::handleWebMessage(const QString &channel, const QVariantList &args)
{
    logDebug(QStringLiteral("Web message received - channel: %1").arg(channel));
    if (channel == QLatin1String("match:ready") && !args.isEmpty()) {
        emit matchReady(args.at(0).toMap());
    } else if (channel == QLatin1String("match:started") && !args.isEmpty()) {
        emit matchStarted(args.at(0).toString());
    } else if (channel == QLatin1String("overlay:lobbyJoined")) {
        emit lobbyJoined();
    } else if (channel == QLatin1String("overlay:lobbyLeft")) {
        emit lobbyLeft();
    } else if (channel == QLatin1String("overlay:slotOccupied") && args.size() >= 2) {
        emit slotOccupied(args.at(0).toString(), args.at(1).toInt());
    } else if (channel == QLatin1String("launcher:logout")) {
        logInfo(QStringLiteral("Logout requested from web dashboard"));
        emit logoutRequested();
    }
}

QString DashboardWindow::webMessageScript() const
{
    return m_outbox.collectScript();
}

void DashboardWindow::receiveWebMessages(const QVariant &scriptResult)
{
    for (const WebMessageOutbox::Message &message : m_outbox.receive(scriptResult))
        handleWebMessage(message.channel, message.args);
    emit webMessagesReceived();
}

void DashboardWindow::retire()
{
    connect(this, &DashboardWindow::webMessagesReceived, this, &QObject::deleteLater);
    QTimer::singleShot(RetireTimeoutMs, this, &QObject::deleteLater);
    emit collectRequested();
}
