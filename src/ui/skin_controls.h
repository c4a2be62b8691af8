#pragma once

#include <QString>
#include <map>
#include <string>
#include <string_view>

#include "layout/window_places.h"

class QWidget;

namespace sonarch {

class ImageSlots;
class SkinLabel;

// Gives a control of the player window what its definition says: its first picture,
// caption, tooltip, look, and its designed place, taken relative to its parent (the
// window, or a part of it that the window has placed already).
void defineSkinControl(SkinLabel* control, const ControlDefinition& definition,
                       const ImageSlots& skin);
// The same for the control of that name (one the definitions hold).
void defineSkinControl(SkinLabel* control, std::string_view name, const ImageSlots& skin);

// The controls a part of the window makes from the definitions, found by name.
class SkinControls {
public:
    SkinControls(ControlPart part, QWidget* parent, const ImageSlots& skin);

    // The control of that name; every name asked for is one the part made.
    SkinLabel* operator()(std::string_view name) const;

private:
    std::map<std::string, SkinLabel*, std::less<>> m_controls;
};

}  // namespace sonarch
