#pragma once

#include <QString>

// One line per call on the toolkit's message output: the tag, the local time "HH:mm:ss" and the
// message, the last two quoted. Safe to call from any thread.
void logDebug(const QString &message);
void logInfo(const QString &message);
void logWarn(const QString &message);
void logError(const QString &message);
