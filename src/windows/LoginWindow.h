#pragma once

#include <QQuickView>
#include <QString>

class ApiClient;
class QJsonObject;
class AuthManager;

// The sign-in window: e-mail and password against the platform, the session stored on success.
class LoginWindow : public QQuickView
{
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY loadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    LoginWindow(AuthManager *authManager, ApiClient *apiClient, QWindow *parent = nullptr);

    bool isLoading() const;
    QString errorMessage() const;

    Q_INVOKABLE void login(const QString &email, const QString &password);
    Q_INVOKABLE void openForgotPassword();
    Q_INVOKABLE void openRegister();

    // Shows `message` in the error box, as a failed sign-in does: why the user must sign in again.
    void showMessage(const QString &message);

signals:
    void loginSuccessful();
    void loadingChanged();
    void errorMessageChanged();

private:
    void setLoading(bool loading);
    void setErrorMessage(const QString &message);
    void onLoginSucceeded(const QJsonObject &response);
    void onLoginFailed(const QString &message);

    AuthManager *m_authManager;
    ApiClient *m_apiClient;
    bool m_isLoading = false;
    QString m_errorMessage;
};
