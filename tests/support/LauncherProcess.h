#pragma once

#include "LogCapture.h"

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// The real launcher binary as a child process, with a temporary directory of its own (so the
// single-instance lock and the settings stay private to the test) and its log read line by line
// as it arrives.
class LauncherProcess
{
public:
    struct Line
    {
        LogLine log;
        qint64 arrivedMs; // since start()
    };

    // Processes made with the same shared directory contend for the same lock.
    explicit LauncherProcess(const QString &sharedTempDir = QString());
    ~LauncherProcess();

    void setVariable(const QString &name, const QString &value);
    void unsetVariable(const QString &name);

    bool start();
    // Waits for a log line with exactly this text; false on time-out or exit.
    bool waitForText(const QString &text, int timeoutMs = 15000);
    // Waits for the process to end by itself; false on time-out.
    bool waitForExit(int timeoutMs = 15000);
    void stop();

    QList<Line> lines() const;
    QStringList texts() const;
    QString stderrText() const;
    int exitCode() const;
    QProcess::ExitStatus exitStatus() const;
    // From start() to the process's end, or to now while it runs.
    qint64 runtimeMs() const;
    QString tempPath() const;
    qint64 processId() const;

private:
    void readAvailable();

    QTemporaryDir m_ownTempDir;
    QString m_tempPath;
    QProcessEnvironment m_environment;
    QProcess m_process;
    QElapsedTimer m_clock;
    qint64 m_finishedMs = -1;
    QByteArray m_pending;
    QByteArray m_allStderr;
    QList<Line> m_lines;
};
