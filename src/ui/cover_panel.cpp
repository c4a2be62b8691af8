#include "ui/cover_panel.h"

#include <QFileInfo>

#include "base/regular_file.h"
#include "layout/cover_fit.h"
#include "ui/placement.h"
#include "ui/skin_controls.h"

namespace sonarch {

namespace {

// Far more than any cover; a larger file is not read at all.
constexpr std::size_t kMaxCoverBytes = 32 * 1024 * 1024;

}  // namespace

CoverPanel::CoverPanel(QWidget* window, const ImageSlots& skin)
    : SkinLabel("PicCover", window), m_image(new SkinLabel("imgCover", this)) {
    defineSkinControl(this, "PicCover", skin);
    // The panel's own background only: the cover inside is drawn whole, with no frame.
    setStyleSheet("#PicCover { background: #060c26; }");
    m_image->setScaledContents(true);
    m_image->setGeometry(toPixels(90), toPixels(90), toPixels(1185), toPixels(510));
}

void CoverPanel::LoadImage(const std::string& path) {
    m_image->hide();
    if (path.empty()) {
        m_picTemp = QPixmap();
    } else if (const auto bytes = ReadRegularFile(path, kMaxCoverBytes)) {
        QPixmap picture;
        if (picture.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                                 uint(bytes->size()))) {
            m_picTemp = picture;
        }  // a file that is no picture keeps the last picture
    } else if (QFileInfo::exists(QString::fromStdString(path))) {
        // A pipe, a device, a folder or a huge file is no cover, and never waited on.
        m_picTemp = QPixmap();
    }  // a missing file keeps the last picture
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
