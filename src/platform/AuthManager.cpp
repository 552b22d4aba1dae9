#include "AuthManager.h"

#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString tokenKey = QStringLiteral("auth/token");
const QString userIdKey = QStringLiteral("auth/userId");
const QString userNameKey = QStringLiteral("auth/userName");
const QString userEmailKey = QStringLiteral("auth/userEmail");
const QString steamIdKey = QStringLiteral("auth/steamId");

// The token is kept in clear text, so only its owner may read the store. On Windows the store is
// the registry, under the user's own key. Elsewhere it is a file: its folder is created closed to
// others before the first write, and the file is made owner-only after every write, which
// replaces it.
void closeStoreFolder(const QString &settingsFile)
{
#ifdef Q_OS_UNIX
    const QString folder = QFileInfo(settingsFile).absolutePath();
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#else
    Q_UNUSED(settingsFile);
#endif
}

void closeStoreFile(const QString &settingsFile)
{
#ifdef Q_OS_UNIX
    if (QFile::exists(settingsFile))
        QFile::setPermissions(settingsFile, QFile::ReadOwner | QFile::WriteOwner);
#else
    Q_UNUSED(settingsFile);
#endif
}

} // namespace

AuthManager::AuthManager(QObject *parent)
    : QObject(parent)
    , m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvanta"),
                 QStringLiteral("Launcher"))
{
    logInfo(QStringLiteral("AuthManager initialized"));
}

bool AuthManager::isAuthenticated() const
{
    return !m_token.isEmpty();
}

QString AuthManager::token() const
{
    return m_token;
}

QString AuthManager::userId() const
{
    return m_userId;
}

QString AuthManager::userName() const
{
    return m_userName;
}

QString AuthManager::userEmail() const
{
    return m_userEmail;
}

QString AuthManager::steamId() const
{
    return m_steamId;
}

bool AuthManager::restoreSession()
{
    logInfo(QStringLiteral("Attempting to restore session..."));
    m_token = m_settings.value(tokenKey).toString();
    m_userId = m_settings.value(userIdKey).toString();
    m_userName = m_settings.value(userNameKey).toString();
    m_userEmail = m_settings.value(userEmailKey).toString();
    m_steamId = m_settings.value(steamIdKey).toString();

    if (m_token.isEmpty()) {
        logInfo(QStringLiteral("No saved session found"));
        return false;
    }
    logInfo(QStringLiteral("Session restored for user: %1 (%2)").arg(m_userName, m_userEmail));
    emit sessionRestored();
    emit authStateChanged();
    return true;
}

void AuthManager::saveSession(const QString &token, const QString &userId, const QString &userName,
                              const QString &userEmail, const QString &steamId)
{
    m_token = token;
    m_userId = userId;
    m_userName = userName;
    m_userEmail = userEmail;
    m_steamId = steamId;

    m_settings.setValue(tokenKey, m_token);
    m_settings.setValue(userIdKey, m_userId);
    m_settings.setValue(userNameKey, m_userName);
    m_settings.setValue(userEmailKey, m_userEmail);
    m_settings.setValue(steamIdKey, m_steamId);
    syncStore();

    logInfo(QStringLiteral("Session saved for user: %1 (%2)").arg(m_userName, m_userEmail));
    emit authStateChanged();
}

void AuthManager::clearSession()
{
    m_token.clear();
    m_userId.clear();
    m_userName.clear();
    m_userEmail.clear();
    m_steamId.clear();

    for (const QString &key : {tokenKey, userIdKey, userNameKey, userEmailKey, steamIdKey})
        m_settings.remove(key);
    syncStore();

    logInfo(QStringLiteral("Session cleared"));
    emit sessionCleared();
    emit authStateChanged();
}

void AuthManager::syncStore()
{
    closeStoreFolder(m_settings.fileName());
    m_settings.sync();
    closeStoreFile(m_settings.fileName());
}
