#include "MatchRun.h"

#include "DesktopActions.h"
#include "PlatformSimulator.h"
#include "SyntheticScreen.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTest>

namespace {

QImage toImage(const cv::Mat &frame)
{
    return QImage(frame.data, frame.cols, frame.rows, int(frame.step), QImage::Format_BGR888)
        .convertToFormat(QImage::Format_RGB32);
}

QImage onTheDesktop(const QRect &area, const cv::Mat &frame)
{
    QImage desktop(QGuiApplication::primaryScreen()->virtualSize(), QImage::Format_RGB32);
    desktop.fill(Qt::black);
    QPainter(&desktop).drawImage(area.topLeft(), toImage(frame));
    return desktop;
}

} // namespace

MatchRun::MatchRun(PlatformSimulator *simulator)
    : m_simulator(simulator)
    , m_driver(simulator, &m_game)
{
    m_launcher.setVariable(QStringLiteral("API_BASE_URL"), simulator->url());
    m_launcher.setVariable(QStringLiteral("WEBSOCKET_URL"), simulator->url());
}

MatchRun::~MatchRun()
{
    m_game.stop();
    m_launcher.stop();
    if (QTest::currentTestFailed())
        qWarning().noquote() << "the launcher's log:\n" << m_launcher.stderrText().right(20000);
}

bool MatchRun::waitForSocket(const QString &email)
{
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        for (const QJsonValue &client :
             m_simulator->control("GET", QStringLiteral("/__control/socket/clients")).array()) {
            if (client.toObject().value(QLatin1String("email")).toString() == email)
                return m_launcher.waitForText(QStringLiteral("Services started"), 5000);
        }
        QTest::qWait(100);
    }
    return false;
}

bool MatchRun::startSignedIn(const QString &email, const QString &password)
{
    // The session a sign-in leaves behind, from the platform's own answer.
    const QJsonObject answer =
        m_simulator
            ->control("POST", QStringLiteral("/api/launcher/auth"),
                      QJsonDocument(QJsonObject{{QStringLiteral("email"), email},
                                                {QStringLiteral("password"), password}}))
            .object();
    const QJsonObject user = answer.value(QLatin1String("user")).toObject();
    m_token = answer.value(QLatin1String("token")).toString();
    QSettings session(sessionPath(), QSettings::IniFormat);
    session.setValue(QStringLiteral("auth/token"), m_token);
    session.setValue(QStringLiteral("auth/userId"), user.value(QLatin1String("id")).toString());
    session.setValue(QStringLiteral("auth/userName"), user.value(QLatin1String("name")).toString());
    session.setValue(QStringLiteral("auth/userEmail"), email);
    session.setValue(QStringLiteral("auth/steamId"), user.value(QLatin1String("steamId")).toString());
    session.sync();
    return !m_token.isEmpty() && m_launcher.start() && waitForSocket(email);
}

QString MatchRun::sessionPath() const
{
    return m_launcher.tempPath() + QStringLiteral("/config/Corvanta/Launcher.conf");
}

bool MatchRun::startAndSignIn(const QString &email, const QString &password)
{
    if (!m_launcher.start()
        || !m_launcher.waitForText(QStringLiteral("No session found, showing login..."), 20000))
        return false;
    // The e-mail field sits 203 px below the top of the login window's page; xwininfo, not
    // xdotool, gives the page's position without the window manager's frame.
    const QString script = QStringLiteral(
        "for i in $(seq 50); do w=$(xdotool search --name '^Corvanta - Login$' | head -n 1);"
        " [ -n \"$w\" ] && break; sleep 0.1; done; sleep 1;"
        " eval $(xwininfo -id \"$w\" | awk '/Absolute upper-left X/ {print \"X=\" $NF}"
        " /Absolute upper-left Y/ {print \"Y=\" $NF}');"
        " xdotool mousemove $((X + 210)) $((Y + 203)) click 1 && sleep 0.3 &&"
        " xdotool type --delay 10 '%1' && xdotool key Tab && xdotool type --delay 10 '%2' &&"
        " xdotool key Return")
                               .arg(email, password);
    if (runShell(script) != 0 || !waitForSocket(email))
        return false;
    const QSettings session(sessionPath(), QSettings::IniFormat);
    m_token = session.value(QStringLiteral("auth/token")).toString();
    return !m_token.isEmpty();
}

bool MatchRun::playToInvitation(const MatchDriver::Setup &setup)
{
    if (!m_driver.announce(setup) || !m_launcher.waitForText(QStringLiteral("LiveMatchWindow shown"))
        || !m_driver.openGame() || !waitForTransition(0, 2) || !m_driver.invite()
        || !waitForTransition(2, 3))
        return false;
    // The hand points at the button's centre, within the pixel or two a scaled interface is
    // placed to.
    const QDeadlineTimer deadline(5000);
    while ((lastPointer() - m_driver.acceptRect().center()).manhattanLength() > 4) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

bool MatchRun::acceptWhereTheHandPoints()
{
    return clickAt(lastPointer()) && m_driver.waitForAccept(5000) && waitForTransition(3, 4);
}

QString MatchRun::secretInLog(const QString &password) const
{
    const QString log = m_launcher.stderrText();
    if (m_token.isEmpty() || log.contains(m_token))
        return QStringLiteral("the session token");
    if (password.isEmpty() || log.contains(password))
        return QStringLiteral("the password");
    return QString();
}

bool MatchRun::waitForTransition(int from, int to, int timeoutMs)
{
    return m_launcher.waitForText(QStringLiteral("State transition: %1 -> %2").arg(from).arg(to),
                                  timeoutMs);
}

// The numbers of the last log line that matches `pattern`, or none.
QList<double> MatchRun::lastNumbers(const QRegularExpression &pattern) const
{
    const QStringList texts = m_launcher.texts();
    for (auto text = texts.crbegin(); text != texts.crend(); ++text) {
        const QRegularExpressionMatch match = pattern.match(*text);
        if (!match.hasMatch())
            continue;
        QList<double> numbers;
        for (int i = 1; i <= pattern.captureCount(); ++i)
            numbers << match.captured(i).toDouble();
        return numbers;
    }
    return {};
}

void MatchRun::setOverlayScreen(const QPoint &origin, double devicePixelRatio)
{
    m_overlayOrigin = origin;
    m_overlayRatio = devicePixelRatio;
}

QRect MatchRun::lastBox() const
{
    // Under display scaling the overlay's coordinates have fractions.
    static const QRegularExpression pattern(QStringLiteral(
        "^Bounding box set: x=([\\d.]+), y=([\\d.]+), w=([\\d.]+), h=([\\d.]+)$"));
    const QList<double> n = lastNumbers(pattern);
    if (n.isEmpty())
        return QRect();
    const QRectF scaled(n[0] * m_overlayRatio, n[1] * m_overlayRatio, n[2] * m_overlayRatio,
                        n[3] * m_overlayRatio);
    return scaled.toRect().translated(m_overlayOrigin);
}

QPoint MatchRun::lastPointer() const
{
    static const QRegularExpression pattern(
        QStringLiteral("^Pointer set to: \\(([\\d.]+), ([\\d.]+)\\)$"));
    const QList<double> n = lastNumbers(pattern);
    if (n.isEmpty())
        return QPoint(-1, -1);
    return m_overlayOrigin + QPointF(n[0] * m_overlayRatio, n[1] * m_overlayRatio).toPoint();
}

QImage MatchRun::grabScreen()
{
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, desktop.x(), desktop.y(), desktop.width(), desktop.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

double MatchRun::drawnShare(const QImage &screen, const QImage &game, const QRect &area)
{
    const QRect inside = area & screen.rect() & game.rect();
    if (inside.isEmpty())
        return 0;
    int drawn = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb a = screen.pixel(x, y);
            const QRgb b = game.pixel(x, y);
            const int difference = qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                                        qAbs(qBlue(a) - qBlue(b)));
            drawn += difference > 24;
        }
    }
    return double(drawn) / (double(inside.width()) * inside.height());
}

QImage MatchRun::invitationFrame() const
{
    return onTheDesktop(m_driver.gameArea(), m_driver.gameScreen().renderInvitation());
}

QImage MatchRun::lobbyFrame(const QString &taken) const
{
    SyntheticScreen::SlotMask mask{};
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i)
        mask[size_t(i)] = taken.at(i) == QLatin1Char('1');
    return onTheDesktop(m_driver.gameArea(), m_driver.gameScreen().renderLobby(mask));
}

bool MatchRun::clickAt(const QPoint &point)
{
    return runShell(QStringLiteral("xdotool mousemove %1 %2 click 1").arg(point.x()).arg(point.y()))
        == 0;
}
