#include "Log.h"

#include <QDebug>
#include <QMessageLogger>
#include <QTime>

namespace {

// Lines quote what the network sent (titles, reasons, error texts); a hostile peer must not be
// able to write megabytes into the log with one message.
constexpr int MaxMessageLength = 500;

QString now()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

QString clipped(const QString &message)
{
    if (message.size() <= MaxMessageLength)
        return message;
    int cut = MaxMessageLength;
    if (message.at(cut - 1).isHighSurrogate())
        --cut; // never half an emoji
    return message.left(cut) + QChar(0x2026);
}

} // namespace

void logDebug(const QString &message)
{
    QMessageLogger().debug() << "[DEBUG]" << now() << clipped(message);
}

void logInfo(const QString &message)
{
    QMessageLogger().info() << "[INFO]" << now() << clipped(message);
}

void logWarn(const QString &message)
{
    QMessageLogger().warning() << "[WARN]" << now() << clipped(message);
}

void logError(const QString &message)
{
    QMessageLogger().critical() << "[ERROR]" << now() << clipped(message);
}
