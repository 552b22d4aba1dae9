#pragma once

#include <QObject>
#include <QString>

// Starts the game through the Steam client, optionally straight into a lobby with its password on
// the clipboard, and tells whether the game runs. Steam is reached only through steam:// URLs.
class SteamLauncher : public QObject
{
    Q_OBJECT

public:
    static constexpr int Dota2AppId = 570;

    explicit SteamLauncher(QObject *parent = nullptr);

    Q_INVOKABLE bool launchDota2();
    Q_INVOKABLE bool launchDota2WithLobby(const QString &lobbyId, const QString &password);
    Q_INVOKABLE bool launchDota2WithLobby(const QString &lobbyId);
    Q_INVOKABLE bool isDota2Running();
    Q_INVOKABLE void copyLobbyPassword(const QString &password);

    // The game's executable: "dota2.exe" in any letter case, as a whole name; on Linux the
    // native game's "dota2" as well.
    static bool isDota2ProcessName(const QString &name);

signals:
    void launchStarted();
    void launchFailed(const QString &error);

private:
    bool openSteamUrl(const QString &url);
};
