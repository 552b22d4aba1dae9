#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

// Carries the dashboard page's messages to the launcher. The embedded web view has no channel from
// the page to the application, so the page queues its messages in its own session storage and the
// launcher collects them by running a script in the page (docs/web-bridge.md). Each message has a
// sequence number within its queue's epoch; a message is removed from the page only once it has
// been received, so nothing is lost across reloads, and each is handed on exactly once.
class WebMessageOutbox
{
public:
    struct Message
    {
        QString channel;
        QVariantList args;
    };

    // The script to run in the page: it drops what has been received and returns the rest as
    // JSON text, or null when the page has queued nothing.
    QString collectScript() const;

    // Takes the script's result and returns the messages not received before, in order.
    QList<Message> receive(const QVariant &scriptResult);

private:
    QHash<QString, qint64> m_lastReceived; // epoch -> highest sequence number received
};
