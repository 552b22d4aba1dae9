#include "Banner.h"

#include "Config.h"
#include "Log.h"

void printBanner()
{
    const QString rule(34, QLatin1Char('='));
    logInfo(rule);
    logInfo(QStringLiteral("  Corvanta Launcher v1.0"));
    logInfo(rule);
    logInfo(QString());
    logInfo(QStringLiteral("Configuration:"));
    logInfo(QStringLiteral("  API Base URL: %1").arg(Config::apiBaseUrl()));
    logInfo(QStringLiteral("  WebSocket URL: %1").arg(Config::webSocketUrl()));
    logInfo(QStringLiteral("  Log Level: %1").arg(Config::logLevel()));
    logInfo(QStringLiteral("  Environment: %1")
                .arg(Config::isDevelopment() ? QStringLiteral("development")
                                             : QStringLiteral("production")));
    logInfo(QString());
}
