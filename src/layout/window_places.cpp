#include "layout/window_places.h"

#include <array>
#include <cmath>

namespace sonarch {

namespace {

struct Place {
    std::string_view name;
    TwipRect rect;
};

// The control panel as designed; the lower area (LV, PicCover) lies below the normal
// height and shows only when the window is expanded.
constexpr std::array kPlaces = {
    Place{"Command1", {75, 45, 135, 135}},       Place{"Picture6", {4320, 35, 135, 135}},
    Place{"picBar", {4500, 35, 135, 135}},       Place{"Picture7", {4650, 35, 135, 135}},
    Place{"lOption", {225, 250, 165, 165}},      Place{"lAlwaysTop", {405, 255, 165, 165}},
    Place{"lContinue", {585, 255, 165, 165}},    Place{"lRandom", {765, 255, 165, 165}},
    Place{"lIntroPlay", {3510, 1440, 165, 165}}, Place{"Info", {270, 450, 1935, 180}},
    Place{"picStop", {2025, 270, 150, 150}},     Place{"picPause", {2025, 270, 150, 150}},
    Place{"PicPlay", {2025, 270, 150, 150}},     Place{"N0", {2250, 270, 165, 135}},
    Place{"N1", {2430, 270, 165, 135}},          Place{"N2", {2610, 270, 165, 135}},
    Place{"N3", {2790, 270, 165, 135}},          Place{"N4", {2970, 270, 165, 135}},
    Place{"N5", {2250, 405, 165, 135}},          Place{"N6", {2430, 405, 165, 135}},
    Place{"N7", {2610, 405, 165, 135}},          Place{"N8", {2790, 405, 165, 135}},
    Place{"N9", {2970, 405, 165, 135}},          Place{"M", {3170, 390, 165, 135}},
    Place{"timeWindow", {3405, 290, 765, 240}},  Place{"lTrack", {3420, 555, 1125, 180}},
    Place{"ltTime", {4170, 300, 345, 135}},      Place{"lCount", {4170, 420, 345, 135}},
    Place{"Picture3", {4625, 270, 120, 120}},    Place{"up", {4635, 420, 75, 75}},
    Place{"picVol", {4631, 510, 85, 735}},       Place{"down", {4635, 1260, 75, 75}},
    Place{"Picture4", {225, 660, 180, 180}},     Place{"Picture2", {225, 885, 180, 180}},
    Place{"Picture1", {225, 1110, 180, 180}},    Place{"lArt", {495, 630, 2850, 210}},
    Place{"lAlb", {495, 855, 4110, 210}},        Place{"lTitle", {495, 1080, 4110, 210}},
    Place{"picProg", {495, 1290, 3960, 60}},     Place{"btrack", {105, 1460, 330, 195}},
    Place{"rew", {450, 1460, 330, 195}},         Place{"play", {795, 1460, 330, 195}},
    Place{"pause", {1140, 1460, 330, 195}},      Place{"stopbtn", {1485, 1460, 330, 195}},
    Place{"ff", {1830, 1460, 330, 195}},         Place{"ftrack", {2175, 1460, 300, 195}},
    Place{"eject", {2535, 1460, 315, 210}},      Place{"Picture8", {4095, 1530, 135, 135}},
    Place{"picExpand", {4320, 1530, 135, 135}},  Place{"picLogo", {4590, 1485, 200, 200}},
    Place{"LV", {135, 1890, 4630, 3200}},        Place{"PicCover", {135, 1890, 4630, 3200}},
    Place{"picBarprev", {2790, 35, 135, 135}},   Place{"picBarrew", {2970, 35, 135, 135}},
    Place{"picBarplay", {3150, 35, 135, 135}},   Place{"picBarpause", {3330, 35, 135, 135}},
    Place{"picBarstop", {3510, 35, 135, 135}},   Place{"picBarff", {3690, 35, 135, 135}},
    Place{"picBarnext", {3870, 35, 135, 135}},   Place{"picBarProg", {325, 175, 2310, 18}},
    Place{"BarTotal", {495, 30, 720, 135}},      Place{"Bartrack", {1260, 30, 705, 135}},
    Place{"BarTime", {2160, 35, 495, 130}},
};

constexpr std::array kBarPlaces = {
    Place{"picStop", {315, 45, 150, 150}},
    Place{"picPause", {315, 45, 150, 150}},
    Place{"PicPlay", {315, 45, 150, 150}},
    Place{"picLogo", {45, 10, 200, 200}},
};

template <std::size_t N>
std::optional<TwipRect> find(const std::array<Place, N>& places, std::string_view control) {
    for (const Place& place : places) {
        if (place.name == control) {
            return place.rect;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<TwipRect> designedPlace(std::string_view control) {
    return find(kPlaces, control);
}

std::optional<TwipRect> barPlace(std::string_view control) {
    return find(kBarPlaces, control);
}

int toPixels(int twips) {
    return static_cast<int>(std::lround(double(twips) / kTwipsPerPixel));
}

}  // namespace sonarch
