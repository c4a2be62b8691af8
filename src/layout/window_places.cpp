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
    Place{"BarTime", {2160, 35, 495, 130}},      Place{"t1", {990, 285, 120, 120}},
    Place{"t2", {1125, 285, 120, 120}},          Place{"t3", {1260, 285, 120, 120}},
    Place{"t4", {1395, 285, 120, 120}},          Place{"t5", {1530, 285, 120, 120}},
};

constexpr std::array kBarPlaces = {
    Place{"picStop", {315, 45, 150, 150}},
    Place{"picPause", {315, 45, 150, 150}},
    Place{"PicPlay", {315, 45, 150, 150}},
    Place{"picLogo", {45, 10, 200, 200}},
};

using enum ControlLook;
using enum ControlPart;

constexpr std::array kControls = {
    ControlDefinition{"btrack", Window, Picture, "p1", "", "Previous track"},
    ControlDefinition{"play", Window, Picture, "p2", "", "Play"},
    ControlDefinition{"pause", Window, Picture, "p3", "", "Pause"},
    ControlDefinition{"stopbtn", Window, Picture, "p4", "", "Stop"},
    ControlDefinition{"ftrack", Window, Picture, "p5", "", "Next track"},
    ControlDefinition{"eject", Window, Picture, "p6", "", "Eject"},
    ControlDefinition{"rew", Window, Picture, "p7", "", "Rewind"},
    ControlDefinition{"ff", Window, Picture, "p8", "", "Fast forward"},
    ControlDefinition{"up", VolumeBar, Picture, "un", "", "Increase volume"},
    ControlDefinition{"down", VolumeBar, Picture, "dn", "", "Decrease volume"},
    ControlDefinition{"picVol", VolumeBar, Picture, "picVolNormal", "", "CD audio volume"},
    ControlDefinition{"picProg", ProgressBar, Picture, "sBarNormal", "", ""},
    ControlDefinition{"picBarProg", ProgressBar, Picture, "", "", "", true},
    ControlDefinition{"picBar", Window, Picture, "picbarNorm", "", ""},
    ControlDefinition{"picExpand", Window, Picture, "picex", "", "Show or hide track list"},
    ControlDefinition{"Picture1", Window, Picture, "Picture1", "",
                      "Enter or edit track comment here"},
    ControlDefinition{"Picture2", Window, Picture, "Picture2", "",
                      "Enter or edit album comment here"},
    ControlDefinition{"Picture3", Window, Picture, "Picture3", "", ""},
    ControlDefinition{"Picture4", Window, Picture, "Picture4", "", "Click to refresh datatbase"},
    ControlDefinition{"Picture6", Window, Picture, "Picture6", "", "Minimize window"},
    ControlDefinition{"Picture7", Window, Picture, "Picture7", "", "Close window"},
    ControlDefinition{"Picture8", Window, Picture, "picex", "", "Show or hide cover"},
    ControlDefinition{"Command1", Window, Picture, "Command1", "", "Click to show menu"},
    ControlDefinition{"picStop", Window, Picture, "picStop", "", ""},
    ControlDefinition{"picPause", Window, Picture, "picPause", "", "", true},
    ControlDefinition{"PicPlay", Window, Picture, "", "", ""},  // blinks by its picture
    ControlDefinition{"picLogo", Window, Picture, "", "", ""},
    ControlDefinition{"picBarprev", Window, Picture, "picBarprev", "", "", true},
    ControlDefinition{"picBarrew", Window, Picture, "picBarrew", "", "", true},
    ControlDefinition{"picBarplay", Window, Picture, "picBarplay", "", "", true},
    ControlDefinition{"picBarpause", Window, Picture, "picBarpause", "", "", true},
    ControlDefinition{"picBarstop", Window, Picture, "picBarstop", "", "", true},
    ControlDefinition{"picBarff", Window, Picture, "picBarff", "", "", true},
    ControlDefinition{"picBarnext", Window, Picture, "picBarnext", "", "", true},
    ControlDefinition{"lOption", Window, Letter, "", "O", "Options"},
    ControlDefinition{"lAlwaysTop", Window, Letter, "", "P", "Toggle always ontop on and off"},
    ControlDefinition{"lContinue", Window, Letter, "", "C", "Continuous play"},
    ControlDefinition{"lRandom", StarRating, Letter, "", "R", "Set current track rating"},
    ControlDefinition{"lIntroPlay", Window, Letter, "", "I", ""},
    ControlDefinition{"Info", Window, Status, "", "", ""},
    ControlDefinition{"N0", TrackNumbers, Number, "", "1", ""},
    ControlDefinition{"N1", TrackNumbers, Number, "", "2", ""},
    ControlDefinition{"N2", TrackNumbers, Number, "", "3", ""},
    ControlDefinition{"N3", TrackNumbers, Number, "", "4", ""},
    ControlDefinition{"N4", TrackNumbers, Number, "", "5", ""},
    ControlDefinition{"N5", TrackNumbers, Number, "", "6", ""},
    ControlDefinition{"N6", TrackNumbers, Number, "", "7", ""},
    ControlDefinition{"N7", TrackNumbers, Number, "", "8", ""},
    ControlDefinition{"N8", TrackNumbers, Number, "", "9", ""},
    ControlDefinition{"N9", TrackNumbers, Number, "", "10", ""},
    ControlDefinition{"M", TrackNumbers, More, "", ">>", "More", true},
    ControlDefinition{"timeWindow", Window, Time, "", "", "Click to change time display"},
    ControlDefinition{"lTrack", Window, TrackCaption, "", "", ""},
    ControlDefinition{"ltTime", Window, DiscCaption, "", "", ""},
    ControlDefinition{"lCount", Window, DiscCaption, "", "", ""},
    ControlDefinition{"BarTotal", Window, BarCaption, "", "", "", true},
    ControlDefinition{"Bartrack", Window, BarCaption, "", "", "", true},
    ControlDefinition{"BarTime", Window, BarTime, "", "", "", true},
    ControlDefinition{"t1", StarRating, Plain, "", "", ""},
    ControlDefinition{"t2", StarRating, Plain, "", "", ""},
    ControlDefinition{"t3", StarRating, Plain, "", "", ""},
    ControlDefinition{"t4", StarRating, Plain, "", "", ""},
    ControlDefinition{"t5", StarRating, Plain, "", "", ""},
    ControlDefinition{"PicCover", CoverPanel, Picture, "", "", "", true},
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

std::span<const ControlDefinition> windowControls() {
    return kControls;
}

const ControlDefinition* controlDefinition(std::string_view control) {
    for (const ControlDefinition& definition : kControls) {
        if (definition.name == control) {
            return &definition;
        }
    }
    return nullptr;
}

int toPixels(int twips) {
    return static_cast<int>(std::lround(double(twips) / kTwipsPerPixel));
}

}  // namespace sonarch
