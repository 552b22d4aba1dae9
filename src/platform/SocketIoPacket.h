#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// One text frame from the platform's real-time endpoint, read as an Engine.IO 4 packet and, inside
// an Engine.IO message, as a Socket.IO 5 packet of the default namespace. Reading never fails:
// whatever a peer sends ends in one of the kinds below.
struct SocketIoPacket
{
    enum class Kind {
        Ignored, // nothing the launcher acts on: noop, upgrade, acks, other namespaces, junk
        Open, // Engine.IO OPEN; `text` holds the handshake
        Ping,
        Pong,
        Connect, // the server accepted the Socket.IO CONNECT
        Disconnect, // the server ended the Socket.IO session
        ConnectError, // the server refused the CONNECT; `text` holds its reason as sent
        Event, // `eventName`, `data`, and `ackId` when the sender asks for an acknowledgement
        Binary, // BINARY_EVENT or BINARY_ACK; their attachments follow in binary frames
        BadJson, // an event whose payload is not JSON; `text` holds the parser's error
        NotAnArray, // an event whose payload is JSON but not an array
        NoPayload, // an event array without the data element
    };

    static constexpr qint64 NoAck = -1;

    Kind kind = Kind::Ignored;
    QString text;
    QString eventName;
    QJsonObject data;
    qint64 ackId = NoAck;

    static SocketIoPacket parse(const QString &frame);

    // The frames the launcher sends.
    // Socket.IO CONNECT to the default namespace, with the authentication object.
    static QString connectFrame(const QJsonObject &auth);
    // Engine.IO PONG, the answer to the server's PING.
    static QString pongFrame();
    // A Socket.IO EVENT: the event's name, then its arguments.
    static QString eventFrame(const QStringList &eventAndArgs);
    // The acknowledgement frame for an event with `ackId`, carrying no arguments.
    static QString ackFrame(qint64 ackId);
};
