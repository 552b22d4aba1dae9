#include "LiveMatchWindow.h"

#include "Log.h"
#include "MatchWidgetData.h"
#include "QmlPage.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QScreen>

namespace {

// Used while the window has no size yet: the page's expanded size.
constexpr int fallbackWidth = 380;
constexpr int fallbackHeight = 620;
constexpr int rightMargin = 24;
constexpr int bottomMargin = 50;

} // namespace

LiveMatchWindow::LiveMatchWindow(QWindow *parent)
    : QQuickView(parent)
    , m_data(new MatchWidgetData(this))
{
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
             | Qt::BypassWindowManagerHint | Qt::NoDropShadowWindowHint);
    setColor(Qt::transparent);

    rootContext()->setContextProperty(QStringLiteral("liveMatchWindow"), this);
    rootContext()->setContextProperty(QStringLiteral("matchWidget"), m_data);
    // Connected before the page exists, so every C++ listener connected later already reads the
    // new values. Qt calls QML handlers ahead of any C++ slot, though: the page's own dataChanged
    // handler reads the data object itself, and its bindings follow once the values arrive here.
    connect(m_data, &MatchWidgetData::dataChanged, this, &LiveMatchWindow::publishProperties);
    publishProperties();

    setResizeMode(QQuickView::SizeViewToRootObject);
    loadQmlPage(this, QStringLiteral("LiveMatchWidget.qml"));

    connect(this, &QWindow::heightChanged, this, &LiveMatchWindow::positionWidget);
    positionWidget();

    logInfo(QStringLiteral("LiveMatchWindow created"));
}

MatchWidgetData *LiveMatchWindow::matchWidgetData() const
{
    return m_data;
}

void LiveMatchWindow::showWidget()
{
    positionWidget();
    show();
    logInfo(QStringLiteral("LiveMatchWindow shown"));
}

void LiveMatchWindow::hideWidget()
{
    hide();
    logInfo(QStringLiteral("LiveMatchWindow hidden"));
}

void LiveMatchWindow::positionWidget()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        logWarn(QStringLiteral("No screen available for LiveMatchWindow positioning"));
        return;
    }
    const int w = width() >= 1 ? width() : fallbackWidth;
    const int h = height() >= 1 ? height() : fallbackHeight;
    // The full geometry, not the work area: the card sits at the same place whatever panels the
    // desktop has.
    const QRect g = screen->geometry();
    const int x = g.x() + g.width() - rightMargin - w;
    const int y = g.y() + g.height() - bottomMargin - h;
    setPosition(x, y);
    logDebug(QStringLiteral("LiveMatchWindow positioned at (%1, %2) on screen %3")
                 .arg(x)
                 .arg(y)
                 .arg(screen->name()));
}

void LiveMatchWindow::publishProperties()
{
    // All thirteen in one go, so the page re-evaluates its bindings once and never sees a mix of
    // old and new values.
    QQmlContext *context = rootContext();
    context->setContextProperties({
        {QStringLiteral("hasMatch"), m_data->hasMatch()},
        {QStringLiteral("matchId"), m_data->matchId()},
        {QStringLiteral("gameNumber"), m_data->gameNumber()},
        {QStringLiteral("scheduledTime"), m_data->scheduledTime()},
        {QStringLiteral("isStarted"), m_data->isStarted()},
        {QStringLiteral("lobbyStatus"), m_data->lobbyStatus()},
        {QStringLiteral("tournamentName"), m_data->tournamentName()},
        {QStringLiteral("roundLabel"), m_data->roundLabel()},
        {QStringLiteral("isCompetition"), m_data->isCompetition()},
        {QStringLiteral("opponentName"), m_data->opponentName()},
        {QStringLiteral("opponentAvatar"), m_data->opponentAvatar()},
        {QStringLiteral("userSide"), m_data->userSide()},
        {QStringLiteral("widgetLang"), m_data->lang()},
    });
}
