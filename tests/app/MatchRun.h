#pragma once

#include "FakeGame.h"
#include "LauncherProcess.h"
#include "MatchDriver.h"

#include <QImage>
#include <QRect>
#include <QString>

class PlatformSimulator;
class QRegularExpression;

// One match played end to end: the real launcher binary signed in to the platform simulator, the
// fake game and the match driver between them, and what a test looks at (the launcher's log, the
// screen).
class MatchRun
{
public:
    explicit MatchRun(PlatformSimulator *simulator);
    ~MatchRun();

    // Starts the launcher with the session a sign-in of this account leaves behind, and waits
    // until its socket is up.
    bool startSignedIn(const QString &email, const QString &password);
    // Starts the launcher without a session and signs in through the login window, as a user.
    bool startAndSignIn(const QString &email, const QString &password);

    LauncherProcess &launcher() { return m_launcher; }
    const LauncherProcess &launcher() const { return m_launcher; }
    FakeGame &game() { return m_game; }
    MatchDriver &driver() { return m_driver; }
    QString token() const { return m_token; }

    // The match announced over the socket, the game opened and the invitation shown: the
    // launcher's hand points at ACCEPT.
    bool playToInvitation(const MatchDriver::Setup &setup);
    // A click where the hand points accepts: the launcher is in JOINING_SLOT.
    bool acceptWhereTheHandPoints();
    bool playToLobby(const MatchDriver::Setup &setup)
    {
        return playToInvitation(setup) && acceptWhereTheHandPoints();
    }

    // Which secret of the session, the token or this password, the launcher's log holds, or
    // empty.
    QString secretInLog(const QString &password) const;

    // Waits for the log line "State transition: <from> -> <to>".
    bool waitForTransition(int from, int to, int timeoutMs = 15000);
    // Where the launcher's overlay lies: the top-left of the screen that shows the game, in
    // desktop pixels, and that screen's display scaling. By default the primary screen unscaled.
    void setOverlayScreen(const QPoint &origin, double devicePixelRatio);
    // The last "Pointer set to" or "Bounding box set" position the launcher logged, placed on
    // the desktop, or empty.
    QRect lastBox() const;
    QPoint lastPointer() const;

    // The whole desktop as it is now.
    static QImage grabScreen();
    // The share (0 to 1) of `area`'s pixels on the screen that differ from what the game itself
    // draws there: what the overlay has drawn over it.
    static double drawnShare(const QImage &screen, const QImage &game, const QRect &area);
    // What the game shows on its own where it lies on the desktop, drawn the same way it draws
    // it; the rest of the desktop black.
    QImage invitationFrame() const;
    QImage lobbyFrame(const QString &taken) const;

    // Clicks at a point on the screen, through whatever overlay lies over it.
    static bool clickAt(const QPoint &point);

private:
    bool waitForSocket(const QString &email);
    QList<double> lastNumbers(const QRegularExpression &pattern) const;
    QString sessionPath() const;

    PlatformSimulator *m_simulator;
    LauncherProcess m_launcher;
    FakeGame m_game;
    MatchDriver m_driver;
    QString m_token;
    QPoint m_overlayOrigin;
    double m_overlayRatio = 1.0;
};
