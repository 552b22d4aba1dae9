#pragma once

#include <QObject>
#include <QSettings>
#include <QString>

// The signed-in user's session: the platform's bearer token and four user fields, kept in the
// per-user settings store so that the next start can skip the login.
class AuthManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY authStateChanged)
    Q_PROPERTY(QString userId READ userId NOTIFY authStateChanged)
    Q_PROPERTY(QString userName READ userName NOTIFY authStateChanged)
    Q_PROPERTY(QString userEmail READ userEmail NOTIFY authStateChanged)
    Q_PROPERTY(QString steamId READ steamId NOTIFY authStateChanged)

public:
    explicit AuthManager(QObject *parent = nullptr);

    bool isAuthenticated() const;
    QString token() const;
    QString userId() const;
    QString userName() const;
    QString userEmail() const;
    QString steamId() const;

    Q_INVOKABLE bool restoreSession();
    Q_INVOKABLE void saveSession(const QString &token, const QString &userId,
                                 const QString &userName, const QString &userEmail,
                                 const QString &steamId);
    Q_INVOKABLE void clearSession();

signals:
    void authStateChanged();
    void sessionRestored();
    void sessionCleared();

private:
    void syncStore();

    QString m_token;
    QString m_userId;
    QString m_userName;
    QString m_userEmail;
    QString m_steamId;
    QSettings m_settings;
};
