#include "layout/edge_snap.h"

namespace sonarch {

TwipPoint SnapToScreenEdges(TwipRect window, TwipRect screen) {
    TwipPoint at{window.left, window.top};
    if (at.top - screen.top <= 200) {
        at.top = screen.top;
    }
    if (at.left - screen.left <= 200) {
        at.left = screen.left;
    }
    const int right = screen.left + screen.width;
    if (right - at.left - window.width <= 200) {
        at.left = right - window.width;
    }
    const int bottom = screen.top + screen.height;
    if (bottom - at.top - window.height <= 580) {
        at.top = bottom - window.height - 450;
    }
    return at;
}

}  // namespace sonarch
