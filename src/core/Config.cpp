#include "Config.h"

#include <QtGlobal>

namespace {

QString environmentOr(const char *name, const QString &fallback)
{
    if (!qEnvironmentVariableIsSet(name))
        return fallback;
    return qEnvironmentVariable(name);
}

} // namespace

namespace Config {

QString apiBaseUrl()
{
    return environmentOr("API_BASE_URL", QStringLiteral("https://") + platformDomain());
}

QString webSocketUrl()
{
    return environmentOr("WEBSOCKET_URL", QStringLiteral("https://ws.corvanta.gg:3002"));
}

QString logLevel()
{
    return environmentOr("LOG_LEVEL", QStringLiteral("INFO")).toUpper();
}

bool isDevelopment()
{
    const QString development = QStringLiteral("development");
    return environmentOr("NODE_ENV", development).toLower() == development
        || environmentOr("ENV", development).toLower() == development;
}

QString platformDomain()
{
    return QStringLiteral("corvanta.gg");
}

} // namespace Config
