#include "LauncherApplication.h"

#include "Log.h"

LauncherApplication::LauncherApplication(QObject *parent)
    : QObject(parent)
{
    logInfo(QStringLiteral("Creating LauncherApplication..."));
    logInfo(QStringLiteral("LauncherApplication created"));
}

LauncherApplication::~LauncherApplication()
{
    logInfo(QStringLiteral("LauncherApplication shutting down..."));
    stopServices();
    emit applicationShuttingDown();
}

bool LauncherApplication::initialize()
{
    logInfo(QStringLiteral("Initializing LauncherApplication..."));
    m_initialized = true;
    logInfo(QStringLiteral("LauncherApplication initialized successfully"));
    return true;
}

void LauncherApplication::run()
{
    if (!m_initialized) {
        logError(QStringLiteral("LauncherApplication not initialized!"));
        return;
    }
    logInfo(QStringLiteral("Running LauncherApplication..."));
    emit applicationReady();
}

void LauncherApplication::stopServices()
{
    logInfo(QStringLiteral("Stopping services..."));
    logInfo(QStringLiteral("Services stopped"));
}
