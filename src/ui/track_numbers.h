#pragma once

#include <QWidget>
#include <array>

#include "model/colours.h"

class QAction;
class QMenu;

namespace sonarch {

class ImageSlots;
class PlayerWindowModel;
class SkinLabel;

// The track numbers 1 to 10 (N0..N9) that play their track on a click, and ">>" (M) whose
// release opens the more-tracks menu (mnuMore, MT11..MT30) for tracks 11 to 30.
class TrackNumbers : public QWidget {
    Q_OBJECT
public:
    TrackNumbers(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model);

    void setColour(int index, WinColour colour);
    // The numbers themselves, put away while the window is minimised.
    void showNumbers(bool shown);
    SkinLabel* more() const { return m_more; }
    // A drive without a disc: the menu keeps only its first item.
    void emptyMoreMenu();

private:
    void openMoreMenu();
    void playMoreTrack(int track);

    PlayerWindowModel& m_model;
    std::array<SkinLabel*, 10> m_numbers{};
    SkinLabel* m_more = nullptr;
    QMenu* m_menu;
    std::array<QAction*, 31> m_items{};  // 11..30
};

}  // namespace sonarch
