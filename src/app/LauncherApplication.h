#pragma once

#include <QObject>

// The spine of the launcher: creates and owns the services and the launcher windows, wires them
// together, chooses the first window and starts and stops the per-session services.
class LauncherApplication : public QObject
{
    Q_OBJECT

public:
    explicit LauncherApplication(QObject *parent = nullptr);
    ~LauncherApplication() override;

    bool initialize();
    // Called once, when the splash has finished.
    void run();

signals:
    void applicationReady();
    void applicationShuttingDown();

private:
    void stopServices();

    bool m_initialized = false;
};
