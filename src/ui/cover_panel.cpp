#include "ui/cover_panel.h"

#include "layout/cover_fit.h"
#include "ui/placement.h"
#include "ui/skin_controls.h"

namespace sonarch {

CoverPanel::CoverPanel(QWidget* window, const ImageSlots& skin)
    : SkinLabel("PicCover", window), m_image(new SkinLabel("imgCover", this)) {
    defineSkinControl(this, "PicCover", skin);
    setStyleSheet("background: #060c26; border: 1px solid #3a56aa;");
    m_image->setScaledContents(true);
    m_image->setGeometry(toPixels(90), toPixels(90), toPixels(1185), toPixels(510));
}

void CoverPanel::LoadImage(const std::string& path) {
    m_image->hide();
    if (path.empty()) {
        m_picTemp = QPixmap();
    } else if (const QPixmap picture(QString::fromStdString(path)); !picture.isNull()) {
        m_picTemp = picture;
    }  // an unreadable file keeps the last picture
    const TwipSize panel{width() * kTwipsPerPixel, height() * kTwipsPerPixel};
    const TwipSize picture{m_picTemp.width() * kTwipsPerPixel, m_picTemp.height() * kTwipsPerPixel};
    m_image->setGeometry(
        toPixelRect(FitCoverImage(panel, picture, toTwipRect(m_image->geometry()))));
    m_image->setPixmap(m_picTemp);
    m_image->show();
}

void CoverPanel::clear() {
    setPixmap(QPixmap());
    m_image->setPixmap(QPixmap());
}

}  // namespace sonarch
