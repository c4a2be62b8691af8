#pragma once

#include <QPixmap>
#include <string>

#include "ui/skin_label.h"

namespace sonarch {

class ImageSlots;

// The cover panel of the lower area (PicCover): the disc's cover picture (imgCover), as
// large as fits and centred.
class CoverPanel : public SkinLabel {
    Q_OBJECT
public:
    CoverPanel(QWidget* window, const ImageSlots& skin);

    // Loads, fits, centres and shows a picture; an empty path shows none, and a file that
    // does not load shows the last picture that did.
    void LoadImage(const std::string& path);
    void clear();

private:
    SkinLabel* m_image;
    QPixmap m_picTemp;  // the last cover that loaded
};

}  // namespace sonarch
