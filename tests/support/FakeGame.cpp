#include "FakeGame.h"

#include "DesktopActions.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QProcessEnvironment>

FakeGame::~FakeGame()
{
    stop();
}

bool FakeGame::start(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_SCALE_FACTOR"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(FAKE_GAME_BINARY), arguments);
    const QString line = nextLine(15000);
    if (!line.startsWith(QLatin1String("ready "))) {
        qWarning() << "fake game did not start:" << line;
        return false;
    }
    m_window = quintptr(line.mid(6).toULongLong());
    return m_window != 0;
}

QString FakeGame::command(const QString &line)
{
    m_process.write(line.toUtf8() + '\n');
    for (;;) {
        const QString answer = nextLine(15000);
        if (!answer.startsWith(QLatin1String("click ")))
            return answer;
        m_clicks << answer;
    }
}

QString FakeGame::nextClick()
{
    if (m_clicks.isEmpty()) {
        const QString line = nextLine(5000);
        if (line.startsWith(QLatin1String("click ")))
            m_clicks << line;
    }
    return m_clicks.isEmpty() ? QString() : m_clicks.takeFirst();
}

void FakeGame::quit()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    command(QStringLiteral("quit"));
    m_process.waitForFinished(5000);
}

void FakeGame::stop()
{
    stopProcess(m_process);
}

QString FakeGame::nextLine(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine()) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0 || !m_process.waitForReadyRead(left))
            return m_process.canReadLine() ? QString() : QStringLiteral("<no answer>");
    }
    return QString::fromUtf8(m_process.readLine()).trimmed();
}
