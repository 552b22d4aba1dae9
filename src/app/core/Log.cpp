#include "Log.h"

#include <QDebug>
#include <QMessageLogger>
#include <QTime>

namespace {

QString now()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

void logDebug(const QString &message)
{
    QMessageLogger().debug() << "[DEBUG]" << now() << message;
}

void logInfo(const QString &message)
{
    QMessageLogger().info() << "[INFO]" << now() << message;
}

void logWarn(const QString &message)
{
    QMessageLogger().warning() << "[WARN]" << now() << message;
}

void logError(const QString &message)
{
    QMessageLogger().critical() << "[ERROR]" << now() << message;
}
