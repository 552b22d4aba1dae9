#include "OverlayState.h"

#include <array>

QString overlayStateName(int state)
{
    static const std::array<const char *, 8> names = {
        "IDLE",         "WAITING_FOR_GAME",    "WAITING_FOR_INVITATION", "ACCEPTING_INVITATION",
        "JOINING_SLOT", "WAITING_FOR_PLAYERS", "MATCH_READY",            "IN_GAME"};
    if (state < 0 || state >= int(names.size()))
        return QString();
    return QString::fromLatin1(names[size_t(state)]);
}
