#include "LoginWindow.h"

#include "ApiAnswer.h"
#include "ApiClient.h"
#include "AuthManager.h"
#include "Config.h"
#include "Log.h"
#include "QmlPage.h"

#include <QDesktopServices>
#include <QJsonObject>
#include <QPointer>
#include <QQmlContext>
#include <QUrl>

namespace {

// Longer server messages are cut for the error box: nobody reads further, and laying out a
// megabyte of text would hold the GUI thread for more than half a second.
constexpr int MaximumShownLength = 4000;

// A member that is missing or not a string reads as empty.
QString stringMember(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

} // namespace

LoginWindow::LoginWindow(AuthManager *authManager, ApiClient *apiClient, QWindow *parent)
    : QQuickView(parent)
    , m_authManager(authManager)
    , m_apiClient(apiClient)
{
    rootContext()->setContextProperty(QStringLiteral("loginWindow"), this);
    rootContext()->setContextProperty(QStringLiteral("authManager"), authManager);

    setTitle(QStringLiteral("Corvanta - Login"));
    setResizeMode(QQuickView::SizeRootObjectToView);
    setMinimumSize(QSize(420, 520));
    resize(420, 520);
    setFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    loadQmlPage(this, QStringLiteral("LoginView.qml"));

    logInfo(QStringLiteral("LoginWindow created"));
}

bool LoginWindow::isLoading() const
{
    return m_isLoading;
}

QString LoginWindow::errorMessage() const
{
    return m_errorMessage;
}

void LoginWindow::login(const QString &email, const QString &password)
{
    if (email.isEmpty() || password.isEmpty()) {
        setErrorMessage(QStringLiteral("Please enter email and password"));
        return;
    }
    setLoading(true);
    setErrorMessage(QString());
    logInfo(QStringLiteral("Attempting login for: %1").arg(email));

    // The window lives as long as the process, but a guard costs nothing if that ever changes.
    QPointer<LoginWindow> self(this);
    m_apiClient->login(
        email, password,
        [self](const QJsonObject &response) {
            if (self)
                self->onLoginSucceeded(response);
        },
        [self](const QString &message) {
            if (self)
                self->onLoginFailed(message);
        });
}

void LoginWindow::openForgotPassword()
{
    QDesktopServices::openUrl(QUrl(Config::apiBaseUrl() + QStringLiteral("/forgot-password")));
}

void LoginWindow::openRegister()
{
    QDesktopServices::openUrl(QUrl(Config::apiBaseUrl() + QStringLiteral("/register")));
}

void LoginWindow::onLoginSucceeded(const QJsonObject &response)
{
    setLoading(false);
    const QString token = stringMember(response, "token");
    const QJsonObject user = response.value(QLatin1String("user")).toObject();
    if (token.isEmpty()) {
        setErrorMessage(QStringLiteral("Invalid response from server"));
        return;
    }
    const QString name = stringMember(user, "name");
    m_authManager->saveSession(token, stringMember(user, "id"), name, stringMember(user, "email"),
                               stringMember(user, "steamId"));
    m_apiClient->setAuthToken(token);
    logInfo(QStringLiteral("Login successful for: %1").arg(name));
    emit loginSuccessful();
}

void LoginWindow::onLoginFailed(const QString &message)
{
    setLoading(false);
    setErrorMessage(ApiAnswer::shortened(message, MaximumShownLength));
    logError(QStringLiteral("Login failed: %1")
                 .arg(ApiAnswer::shortened(message, ApiAnswer::MaximumLoggedLength)));
}

void LoginWindow::showMessage(const QString &message)
{
    setErrorMessage(message);
}

void LoginWindow::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    emit loadingChanged();
}

void LoginWindow::setErrorMessage(const QString &message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}
