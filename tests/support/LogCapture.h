#pragma once

#include <QMutex>
#include <QtGlobal>
#include <QString>
#include <QStringList>

// A launcher log line split into its parts: `[INFO] "14:03:07" "text"`.
struct LogLine
{
    QString tag;
    QString time;
    QString text;

    // Empty tag when the line is not a launcher log line (toolkit warnings and the like).
    static LogLine parse(const QString &line);
};

// Collects, while it lives, every message the process writes through the toolkit's message output.
// Only tests install a message handler; the product writes through the default one.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The text of each launcher log line, in order.
    QStringList texts() const;
    // The texts that are among `wanted`, in the order they were logged: the order of a few lines
    // with those of other components between them.
    QStringList among(const QStringList &wanted) const;
    QStringList rawLines() const;
    int count(const QString &text) const;
    void clear();

private:
    static void handleMessage(QtMsgType type, const QMessageLogContext &context,
                              const QString &message);

    QtMessageHandler m_previousHandler = nullptr;
    mutable QMutex m_mutex;
    QStringList m_lines;
};
