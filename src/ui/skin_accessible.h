#pragma once

namespace sonarch {

// Lets screen readers see the skin's controls (SkinLabel) as what they are: a named push
// button, check box with its state, slider with its value and range, or text, with
// "Press" as the default action of those that act. Installed once per program; later
// calls do nothing.
void installSkinAccessibility();

}  // namespace sonarch
