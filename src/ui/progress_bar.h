#pragma once

#include "ui/skin_label.h"

namespace sonarch {

class ImageSlots;
class PlayerWindowModel;

// The progress bar under the titles (picProg) and its twin in the bar layout's strip
// (picBarProg): both fill to the place in the track. The pointer over the bar shows where
// a click would go, a drag shows the time there, and a left click moves there.
class ProgressBar : public SkinLabel {
    Q_OBJECT
public:
    ProgressBar(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model);

    // Both fills, in percent of the bars' width.
    void setPercent(int percent);
    // The bar layout's twin, which that layout shows and hides.
    SkinLabel* twin() const { return m_twin; }
    // The bar's own picture again, after the pointer's highlight.
    void showNormalSkin();

private:
    void pointerMoved(Qt::MouseButtons buttons, QPointF position);
    void released(Qt::MouseButton button, QPointF position);
    double fractionAt(QPointF position) const;

    const ImageSlots& m_slots;
    PlayerWindowModel& m_model;
    SkinLabel* m_fill;
    SkinLabel* m_twin;
    SkinLabel* m_twinFill;
};

}  // namespace sonarch
