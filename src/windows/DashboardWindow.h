#pragma once

#include "WebMessageOutbox.h"

#include <QQuickView>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class AuthManager;

// The signed-in user's main window: the platform's web dashboard in an embedded web view, signed in
// from the session token. Navigation stays on the platform's hosts; the page's requests become
// signals.
class DashboardWindow : public QQuickView
{
    Q_OBJECT
    Q_PROPERTY(QString dashboardUrl READ dashboardUrl NOTIFY dashboardUrlChanged)

public:
    explicit DashboardWindow(AuthManager *authManager, QWindow *parent = nullptr);

    QString dashboardUrl() const;

    Q_INVOKABLE void handleWebMessage(const QString &channel, const QVariantList &args);
    Q_INVOKABLE void logout();
    Q_INVOKABLE void openExternal(const QString &url);
    // Pages that stay in the view: https on the platform's domain or its subdomains; plain http
    // and the local hosts too while the platform itself is reached over http or on this machine.
    Q_INVOKABLE bool isAllowedUrl(const QString &url) const;
    // The dashboard's sign-out address, "app://logout", and nothing that merely contains it.
    Q_INVOKABLE bool isLogoutUrl(const QString &url) const;

    // The page's side of the web-message carrier (WebMessageOutbox): the page view runs the
    // script in the page and passes its result back.
    Q_INVOKABLE QString webMessageScript() const;
    Q_INVOKABLE void receiveWebMessages(const QVariant &scriptResult);

    // For a dashboard that a fresh one replaces: hands on what the page queued while the window
    // was hidden (its poll stopped then), and deletes the window once that is done, or after
    // RetireTimeoutMs if the page does not answer.
    void retire();
    static constexpr int RetireTimeoutMs = 2000;

signals:
    void dashboardUrlChanged();
    void logoutRequested();
    void matchReady(const QVariantMap &matchData);
    void matchStarted(const QString &matchId);
    void lobbyJoined();
    void lobbyLeft();
    void slotOccupied(const QString &side, int slotNumber);
    // For the page view: collect the page's messages now.
    void collectRequested();
    // A collection's result has been handled.
    void webMessagesReceived();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateDashboardUrl();
    void fitToScreen();

    AuthManager *m_authManager;
    QString m_dashboardUrl;
    WebMessageOutbox m_outbox;
    bool m_openMaximized = false; // the wanted size does not fit the screen's free area
};
