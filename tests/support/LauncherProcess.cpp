#include "LauncherProcess.h"

#include "DesktopActions.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

LauncherProcess::LauncherProcess(const QString &sharedTempDir)
    : m_tempPath(sharedTempDir.isEmpty() ? m_ownTempDir.path() : sharedTempDir)
    , m_environment(QProcessEnvironment::systemEnvironment())
{
    for (const char *name : {"API_BASE_URL", "WEBSOCKET_URL", "LOG_LEVEL", "NODE_ENV", "ENV",
                             "OVERLAY_TEST_MODE", "QT_MESSAGE_PATTERN", "QT_LOGGING_RULES"})
        m_environment.remove(QString::fromLatin1(name));
    m_environment.insert(QStringLiteral("TMPDIR"), m_tempPath);
    m_environment.insert(QStringLiteral("HOME"), m_tempPath);
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tempPath + QStringLiteral("/config"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_tempPath);
    m_process.setProgram(QStringLiteral(LAUNCHER_BINARY));
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                     [this] { readAvailable(); });
    QObject::connect(&m_process, &QProcess::finished, &m_process,
                     [this] { m_finishedMs = m_clock.elapsed(); });
}

LauncherProcess::~LauncherProcess()
{
    stop();
}

void LauncherProcess::setVariable(const QString &name, const QString &value)
{
    m_environment.insert(name, value);
}

void LauncherProcess::unsetVariable(const QString &name)
{
    m_environment.remove(name);
}

bool LauncherProcess::start()
{
    m_process.setProcessEnvironment(m_environment);
    m_finishedMs = -1;
    m_clock.start();
    m_process.start();
    return m_process.waitForStarted(5000);
}

bool LauncherProcess::waitForText(const QString &text, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!texts().contains(text)) {
        if (waited.elapsed() > timeoutMs)
            return false;
        if (m_process.state() == QProcess::NotRunning) {
            readAvailable();
            return texts().contains(text);
        }
        m_process.waitForReadyRead(50);
        readAvailable();
    }
    return true;
}

bool LauncherProcess::waitForExit(int timeoutMs)
{
    const bool exited = m_process.state() == QProcess::NotRunning
        || m_process.waitForFinished(timeoutMs);
    readAvailable();
    return exited;
}

void LauncherProcess::stop()
{
    stopProcess(m_process);
    readAvailable();
}

void LauncherProcess::readAvailable()
{
    const QByteArray chunk = m_process.readAllStandardError();
    m_allStderr += chunk;
    m_pending += chunk;
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString raw = QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
        m_lines.append({LogLine::parse(raw), m_clock.elapsed()});
    }
}

QList<LauncherProcess::Line> LauncherProcess::lines() const
{
    return m_lines;
}

QStringList LauncherProcess::texts() const
{
    QStringList texts;
    for (const Line &line : m_lines) {
        if (!line.log.tag.isEmpty())
            texts.append(line.log.text);
    }
    return texts;
}

QString LauncherProcess::stderrText() const
{
    return QString::fromUtf8(m_allStderr);
}

int LauncherProcess::exitCode() const
{
    return m_process.exitCode();
}

QProcess::ExitStatus LauncherProcess::exitStatus() const
{
    return m_process.exitStatus();
}

qint64 LauncherProcess::runtimeMs() const
{
    return m_finishedMs >= 0 ? m_finishedMs : m_clock.elapsed();
}

QString LauncherProcess::tempPath() const
{
    return m_tempPath;
}

qint64 LauncherProcess::processId() const
{
    return m_process.processId();
}
