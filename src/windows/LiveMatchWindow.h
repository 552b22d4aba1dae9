#pragma once

#include <QQuickView>

class MatchWidgetData;

// The small always-on-top card in the bottom-right corner of the primary screen that shows the
// user's current or upcoming match and launches the game. Its owner fills the data, shows it when
// a match is coming and hides it when there is none; the page's launch button hides it as well.
class LiveMatchWindow : public QQuickView
{
    Q_OBJECT

public:
    explicit LiveMatchWindow(QWindow *parent = nullptr);

    // Places the window, then shows it.
    void showWidget();
    Q_INVOKABLE void hideWidget();
    // Keeps the bottom-right corner 24 px from the right and 50 px from the bottom of the primary
    // screen's full geometry. Runs again whenever the height changes, so that collapsing the page
    // keeps the card on the bottom edge.
    void positionWidget();

    // Callers apply or clear the match through it; it lives as long as the window.
    MatchWidgetData *matchWidgetData() const;

private:
    void publishProperties();

    MatchWidgetData *m_data;
};
