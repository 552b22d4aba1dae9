#include "SocketIoPacket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

using Kind = SocketIoPacket::Kind;

// Socket.IO ids are JavaScript numbers; more digits than this are not an id but junk.
constexpr int MaxAckDigits = 15;

SocketIoPacket ofKind(Kind kind, const QString &text = QString())
{
    SocketIoPacket packet;
    packet.kind = kind;
    packet.text = text;
    return packet;
}

// `body` is what follows "42": an optional acknowledgement id, then a JSON array whose first
// element names the event and whose second carries its data.
SocketIoPacket parseEvent(QStringView body)
{
    qsizetype digits = 0;
    while (digits < body.size() && body.at(digits).isDigit() && body.at(digits).unicode() < 128)
        ++digits;
    if (digits > MaxAckDigits)
        return ofKind(Kind::BadJson, QStringLiteral("acknowledgement id too long"));

    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(body.mid(digits).toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return ofKind(Kind::BadJson, parseError.errorString());
    if (!document.isArray())
        return ofKind(Kind::NotAnArray);

    SocketIoPacket packet;
    if (digits > 0)
        packet.ackId = body.left(digits).toLongLong();
    const QJsonArray event = document.array();
    if (event.size() < 2) {
        packet.kind = Kind::NoPayload;
        return packet;
    }
    packet.kind = Kind::Event;
    packet.eventName = event.at(0).toString();
    packet.data = event.at(1).toObject();
    return packet;
}

SocketIoPacket parseMessage(QStringView body)
{
    if (body.isEmpty())
        return ofKind(Kind::Ignored);
    // A namespace other than the default one comes first, as "/name,"; the launcher joins none.
    if (body.size() > 1 && body.at(1) == QLatin1Char('/'))
        return ofKind(Kind::Ignored);
    switch (body.at(0).unicode()) {
    case '0':
        return ofKind(Kind::Connect);
    case '1':
        return ofKind(Kind::Disconnect);
    case '2':
        return parseEvent(body.mid(1));
    case '4':
        return ofKind(Kind::ConnectError, body.mid(1).toString());
    case '5':
    case '6':
        return ofKind(Kind::Binary, body.left(1).toString());
    default:
        return ofKind(Kind::Ignored);
    }
}

} // namespace

SocketIoPacket SocketIoPacket::parse(const QString &frame)
{
    if (frame.isEmpty())
        return ofKind(Kind::Ignored);
    switch (frame.at(0).unicode()) {
    case '0':
        return ofKind(Kind::Open, frame.mid(1));
    case '2':
        return ofKind(Kind::Ping);
    case '3':
        return ofKind(Kind::Pong);
    case '4':
        return parseMessage(QStringView(frame).mid(1));
    default:
        return ofKind(Kind::Ignored);
    }
}

QString SocketIoPacket::connectFrame(const QJsonObject &auth)
{
    return QStringLiteral("40") + QString::fromUtf8(QJsonDocument(auth).toJson(QJsonDocument::Compact));
}

QString SocketIoPacket::pongFrame()
{
    return QStringLiteral("3");
}

QString SocketIoPacket::eventFrame(const QStringList &eventAndArgs)
{
    return QStringLiteral("42")
        + QString::fromUtf8(
               QJsonDocument(QJsonArray::fromStringList(eventAndArgs)).toJson(QJsonDocument::Compact));
}

QString SocketIoPacket::ackFrame(qint64 ackId)
{
    return QStringLiteral("43%1[]").arg(ackId);
}
