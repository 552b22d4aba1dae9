#include "SteamLauncher.h"

#include "Log.h"
#include "ProcessList.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

SteamLauncher::SteamLauncher(QObject *parent)
    : QObject(parent)
{
    logInfo(QStringLiteral("SteamLauncher initialized"));
}

bool SteamLauncher::openSteamUrl(const QString &url)
{
    logDebug(QStringLiteral("Opening Steam URL: %1").arg(url));
    const bool opened = QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
    if (!opened)
        logError(QStringLiteral("Failed to open Steam URL: %1").arg(url));
    return opened;
}

bool SteamLauncher::launchDota2()
{
    logInfo(QStringLiteral("Launching Dota 2..."));
    emit launchStarted();
    const bool opened = openSteamUrl(QStringLiteral("steam://rungameid/%1").arg(Dota2AppId));
    if (opened)
        logInfo(QStringLiteral("Dota 2 launch initiated via Steam"));
    else
        emit launchFailed(QStringLiteral("Failed to launch Dota 2"));
    return opened;
}

bool SteamLauncher::launchDota2WithLobby(const QString &lobbyId, const QString &password)
{
    logInfo(QStringLiteral("Launching Dota 2 with lobby: %1").arg(lobbyId));
    emit launchStarted();
    // The password goes to the clipboard, never into the URL or the log.
    const QString url =
        QStringLiteral("steam://rungameid/%1//+connect_lobby %2").arg(Dota2AppId).arg(lobbyId);
    if (!password.isEmpty()) {
        copyLobbyPassword(password);
        logInfo(QStringLiteral("Lobby password copied to clipboard"));
    }
    const bool opened = openSteamUrl(url);
    if (opened)
        logInfo(QStringLiteral("Dota 2 launch with lobby initiated via Steam"));
    else
        emit launchFailed(QStringLiteral("Failed to launch Dota 2 with lobby"));
    return opened;
}

bool SteamLauncher::launchDota2WithLobby(const QString &lobbyId)
{
    return launchDota2WithLobby(lobbyId, QString());
}

void SteamLauncher::copyLobbyPassword(const QString &password)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->setText(password, QClipboard::Clipboard);
    logInfo(QStringLiteral("Lobby password copied to clipboard"));
}

bool SteamLauncher::isDota2ProcessName(const QString &name)
{
    const QString lower = name.toLower();
    return lower == QLatin1String("dota2.exe") || lower == QLatin1String("dota2");
}

bool SteamLauncher::isDota2Running()
{
    for (const std::string &name : runningProcessNames()) {
        if (isDota2ProcessName(QString::fromStdString(name)))
            return true;
    }
    return false;
}
