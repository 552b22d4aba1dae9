// The real-time endpoint's frames: SocketIoPacket::parse, the reading of every text frame the
// socket client acts on.
//
// Input: one frame, as UTF-8 text.

#include "FuzzSupport.h"
#include "SocketIoPacket.h"

#include <QString>

namespace {

using Kind = SocketIoPacket::Kind;

bool isEventKind(Kind kind)
{
    return kind == Kind::Event || kind == Kind::NoPayload;
}

void checkFrame(const QString &frame)
{
    const SocketIoPacket packet = SocketIoPacket::parse(frame);

    if (packet.kind == Kind::Event || packet.kind == Kind::NoPayload
        || packet.kind == Kind::BadJson || packet.kind == Kind::NotAnArray)
        FUZZ_EXPECT(frame.startsWith(QLatin1String("42")));
    if (packet.kind == Kind::Open)
        FUZZ_EXPECT(packet.text == frame.mid(1));
    if (packet.kind == Kind::ConnectError)
        FUZZ_EXPECT(frame.startsWith(QLatin1String("44")) && packet.text == frame.mid(2));
    if (packet.kind != Kind::Event)
        FUZZ_EXPECT(packet.eventName.isEmpty() && packet.data.isEmpty());

    // An id only comes with an event, and it is the number written right after "42".
    if (packet.ackId != SocketIoPacket::NoAck) {
        FUZZ_EXPECT(isEventKind(packet.kind));
        FUZZ_EXPECT(packet.ackId >= 0 && packet.ackId < 1000000000000000LL);
        qsizetype end = 2;
        while (end < frame.size() && frame.at(end) >= QLatin1Char('0')
               && frame.at(end) <= QLatin1Char('9'))
            ++end;
        FUZZ_EXPECT(frame.mid(2, end - 2).toLongLong() == packet.ackId);
        // The answer the client sends is an ACK, which the client itself does not act on.
        FUZZ_EXPECT(SocketIoPacket::parse(SocketIoPacket::ackFrame(packet.ackId)).kind
                    == Kind::Ignored);
    }

    const SocketIoPacket again = SocketIoPacket::parse(frame);
    FUZZ_EXPECT(again.kind == packet.kind && again.ackId == packet.ackId
                && again.eventName == packet.eventName && again.data == packet.data
                && again.text == packet.text);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkFrame(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
