#include "DashboardWindow.h"

#include "AuthManager.h"
#include "Config.h"
#include "Log.h"
#include "QmlPage.h"

#include <QDesktopServices>
#include <QQmlContext>
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
    resize(1920, 1080);
    setFlags(Qt::Window);
    loadQmlPage(this, QStringLiteral("DashboardView.qml"));

    connect(authManager, &AuthManager::authStateChanged, this,
            &DashboardWindow::updateDashboardUrl);
    logInfo(QStringLiteral("DashboardWindow created"));
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

bool DashboardWindow::isAllowedUrl(const QString &url) const
{
    const QString host = QUrl(url, QUrl::TolerantMode).host(QUrl::FullyDecoded);
    const QString domain = Config::platformDomain();
    return host == domain || host.endsWith(QLatin1Char('.') + domain)
        || host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1");
}

void DashboardWindow::logout()
{
    emit logoutRequested();
}

void DashboardWindow::openExternal(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
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
}
