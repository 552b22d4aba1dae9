#pragma once

#include <QQuickView>
#include <QString>

class GuidanceRenderer;
class PlatformBridge;
struct MatchData;

// The full-screen, transparent, always-on-top window over the game that draws the player's
// guidance (qrc:/qml/main.qml). Every click passes through it to the game below, and showing it
// never takes the focus. The class only publishes the values the scene draws from, as context
// properties of the root context, and places the window over the screen that shows the game.
//
// Context properties: currentState (the OverlayState's name), playerCount, playerSide,
// slotNumber, language and guidanceRenderer. Each change is published again under the same name,
// which re-evaluates the bindings that use it.
class OverlayWindow : public QQuickView
{
    Q_OBJECT

public:
    // `bridge` is borrowed and may be null (the primary screen is used then). Not shown.
    explicit OverlayWindow(PlatformBridge *bridge, QWindow *parent = nullptr);
    ~OverlayWindow() override;
    OverlayWindow(const OverlayWindow &) = delete;
    OverlayWindow &operator=(const OverlayWindow &) = delete;

    void showOverlay();
    void hideOverlay();
    // An OverlayState value; one outside 0 to 7 publishes the empty name, which draws no state
    // panel.
    void updateState(int state);
    void updatePlayerCount(int count);
    // Copies the player's side, slot and language; keeps no reference. Null changes nothing.
    void updateMatchData(const MatchData *data);
    // Covers the whole screen that shows the game (the primary screen when that is unknown).
    void positionOnGameScreen();

    GuidanceRenderer *guidanceRenderer() const { return m_guidanceRenderer; }

private:
    QString m_currentState;
    int m_playerCount = 0;
    QString m_playerSide;
    int m_slotNumber = 0;
    QString m_language;
    GuidanceRenderer *m_guidanceRenderer = nullptr;
    PlatformBridge *m_bridge = nullptr;
};
