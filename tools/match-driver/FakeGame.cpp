#include "FakeGame.h"

#include "ChildProcess.h"

#include <QDebug>
#include <QDeadlineTimer>
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

bool FakeGame::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

bool FakeGame::isReport(const QString &line)
{
    return line.startsWith(QLatin1String("click ")) || line == QLatin1String("accepted")
        || line.startsWith(QLatin1String("slot "));
}

QString FakeGame::command(const QString &line)
{
    m_process.write(line.toUtf8() + '\n');
    for (;;) {
        const QString answer = nextLine(15000);
        if (!isReport(answer))
            return answer;
        m_reports << answer;
    }
}

QString FakeGame::waitForReport(const QString &prefix, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (!m_reports.isEmpty()) {
            const QString report = m_reports.takeFirst();
            if (report.startsWith(prefix))
                return report;
        }
        if (deadline.hasExpired() || !isRunning())
            return QString();
        const QString line = nextLine(int(qMax<qint64>(1, deadline.remainingTime())));
        if (isReport(line))
            m_reports << line;
    }
}

QString FakeGame::nextClick()
{
    return waitForReport(QStringLiteral("click "), 5000);
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
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            if (!m_process.canReadLine())
                return QStringLiteral("<no answer>");
            break;
        }
    }
    return QString::fromUtf8(m_process.readLine()).trimmed();
}
