#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// Lets a second start of the program reach the running one: the running instance listens, and a
// start that finds the single-instance lock taken asks it to bring its window to front. Without a
// tray this is the only way back to a hidden window.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    explicit InstanceChannel(const QString &name, QObject *parent = nullptr);

    // Called by the instance holding the lock, so a leftover of a crashed one can be replaced.
    bool listen();
    // Called by a second instance; true when the running one received the request.
    static bool requestActivation(const QString &name, int timeoutMs);

signals:
    void activationRequested();

private:
    QString m_name;
    QLocalServer m_server;
};
