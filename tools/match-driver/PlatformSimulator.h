#pragma once

#include <QJsonDocument>
#include <QProcess>
#include <QString>

// The local platform simulator (tools/platform-sim) as a child process on a free loopback port, or
// one already running, with its control interface.
class PlatformSimulator
{
public:
    PlatformSimulator() = default;
    ~PlatformSimulator();
    PlatformSimulator(const PlatformSimulator &) = delete;
    PlatformSimulator &operator=(const PlatformSimulator &) = delete;

    // Extra command-line options, e.g. {"--ping-interval", "300"}.
    bool start(const QStringList &options = {});
    // Speaks to a simulator someone else started.
    void attach(const QString &url) { m_url = url; }
    void stop();
    QString url() const; // http://127.0.0.1:<port>

    // Control operations; each waits for the simulator's answer.
    QJsonDocument control(const QByteArray &method, const QString &path,
                          const QJsonDocument &body = QJsonDocument());
    QString tokenFor(const QString &email);
    void reset();

private:
    QProcess m_process;
    QString m_url;
};
