#pragma once

#include "ui/skin_label.h"

namespace sonarch {

class ImageSlots;
class PlayerWindowModel;

// The slim volume bar on the right (picVol) with its fill and its two buttons (up, down):
// the pointer's height with the left button sets the level, the buttons step it.
class VolumeBar : public SkinLabel {
    Q_OBJECT
public:
    VolumeBar(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model);

    // The filled share, in percent; at 100 and above the fill stays where it was.
    void showShare(double percent);
    // The bar's and the buttons' own pictures again, after the pointer's highlights.
    void showNormalSkin();

private:
    void pointerMoved(Qt::MouseButtons buttons, QPointF position);
    void released(Qt::MouseButton button, QPointF position);
    float unitsAt(QPointF position) const;

    const ImageSlots& m_slots;
    PlayerWindowModel& m_model;
    SkinLabel* m_up;
    SkinLabel* m_down;
    SkinLabel* m_fill;
};

}  // namespace sonarch
