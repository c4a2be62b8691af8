#include "layout/place_beside_player.h"

#include <cmath>

namespace sonarch {

namespace {

constexpr int kRoomAbovePlayer = 2235;

int halfOf(int length) {
    return int(std::lrint(length / 2.0));
}

}  // namespace

TwipPoint PlaceBesidePlayer(TwipRect player, bool playerMinimised, TwipSize screen,
                            TwipSize window) {
    if (playerMinimised) {
        return {halfOf(screen.width - window.width), halfOf(screen.height - window.height)};
    }
    if (player.top > kRoomAbovePlayer) {
        return {player.left, player.top - window.height};
    }
    return {player.left, player.top + player.height};
}

}  // namespace sonarch
