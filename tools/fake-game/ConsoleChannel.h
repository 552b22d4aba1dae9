#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The fake game's command channel: lines in on standard input, lines out on standard output.
// Reading never blocks the event loop, so the window keeps painting while no command comes.
class ConsoleChannel : public QObject
{
    Q_OBJECT

public:
    explicit ConsoleChannel(QObject *parent = nullptr);

    // One line on standard output, flushed at once: the other end waits for it.
    static void writeLine(const QString &line);

signals:
    void lineReceived(const QString &line);
    // Standard input reached its end: nobody is left to give commands.
    void closed();

private:
    void readAvailable();

    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_pending;
};
