// The library's part of the player window: the refresh button, the rating menu and stars,
// the comment editors and the cover panel.
#include <QAction>
#include <QApplication>
#include <QMenu>

#include "layout/cover_fit.h"
#include "layout/place_beside_player.h"
#include "ui/cd_player.h"
#include "ui/dialogs/comment_editor.h"
#include "ui/placement.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"
#include "ui/star_rating.h"

namespace sonarch {

void CDPlayer::connectLibrary() {
    connect(Picture4, &SkinLabel::clicked, this, &CDPlayer::Picture4_Click);
    connect(Picture8, &SkinLabel::clicked, this, &CDPlayer::Picture8_Click);
    connect(Picture1, &SkinLabel::clicked, this, &CDPlayer::Picture1_Click);
    connect(Picture2, &SkinLabel::clicked, this, &CDPlayer::Picture2_Click);
    connect(lRandom, &SkinLabel::mouseDown, this, [this] { mnuRate->popup(QCursor::pos()); });
    connect(lRandom, &SkinLabel::mouseMove, this, [this] { setTextColour(lRandom, kOptionOn); });
    for (int rating = 1; rating <= 10; ++rating) {
        QAction* item = mnuRate->findChild<QAction*>(QString("r%1").arg(rating));
        connect(item, &QAction::triggered, this,
                [this, rating] { m_player.rateCurrentTrack(rating); });
    }
}

void CDPlayer::Picture4_Click() {
    // The wait cursor is put back however the lookup ends.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_player.refreshLibrary();
    QApplication::restoreOverrideCursor();
}

void CDPlayer::ShowStar(int rating) {
    for (SkinLabel* box : t) {
        box->setPixmap(QPixmap());
    }
    // A value outside a 16-bit rating draws no stars, as any value outside 1..10 does.
    const bool fits = rating >= INT16_MIN && rating <= INT16_MAX;
    const auto stars = StarsForRating(static_cast<std::int16_t>(fits ? rating : 0));
    for (std::size_t k = 0; k < stars.size(); ++k) {
        if (stars[k] == StarState::Full) {
            t[k]->setPixmap(m_slots["ps"]);
        } else if (stars[k] == StarState::Half) {
            t[k]->setPixmap(m_slots["phs"]);
        }
    }
}

void CDPlayer::placeBesidePlayer(QWidget* window) {
    // The outer size once the window is shown (its frame included), else its own.
    const QSize size = window->frameGeometry().size();
    const TwipPoint at = PlaceBesidePlayer(
        toTwipRect(frameGeometry()), isMinimized() || isHidden(), screenTwips(this),
        {size.width() * kTwipsPerPixel, size.height() * kTwipsPerPixel});
    window->move(toPixels(at.left), toPixels(at.top));
}

void CDPlayer::Picture1_Click() {
    if (!m_player.libraryAvailable()) {
        return;
    }
    // Fixed now, so the editor keeps its track while playback moves on.
    m_player.beginTrackComment();
    showCommentEditor(
        frmtrkCom, CommentEditor::trackLayout(), [this] { return m_player.loadTrackComment(); },
        [this](const std::string& text) { return m_player.saveTrackComment(text); });
}

void CDPlayer::Picture2_Click() {
    if (!m_player.libraryAvailable()) {
        return;
    }
    showCommentEditor(
        frmAlbCom, CommentEditor::albumLayout(), [this] { return m_player.loadAlbumComment(); },
        [this](const std::string& text) { return m_player.saveAlbumComment(text); });
}

void CDPlayer::showCommentEditor(QPointer<CommentEditor>& editor, const EditorLayout& layout,
                                 const std::function<std::string()>& load,
                                 const std::function<bool(const std::string&)>& save) {
    if (editor) {
        editor->raise();  // already open: brought forward, not loaded again
        editor->activateWindow();
        return;
    }
    editor = new CommentEditor(layout, this);
    editor->setText(QString::fromStdString(load()));
    placeBesidePlayer(editor);
    CommentEditor* window = editor;
    connect(window, &CommentEditor::updateRequested, this, [window, save] {
        // Kept open, with its text, when nothing could be stored.
        if (save(window->text().toStdString())) {
            window->close();
        }
    });
    window->show();
}

void CDPlayer::Picture8_Click() {
    const bool open = !m_player.settings().trackListShown;
    openLowerArea(open, Picture8, picExpand);
    if (open) {
        PicCover->show();
        PicCover->raise();
        LoadImage(m_player.state().coverPath);
    } else {
        clearCover();
        PicCover->hide();
    }
}

void CDPlayer::LoadImage(const std::string& path) {
    imgCover->hide();
    if (path.empty()) {
        m_picTemp = QPixmap();
    } else if (const QPixmap picture(QString::fromStdString(path)); !picture.isNull()) {
        m_picTemp = picture;
    }  // an unreadable file keeps the last picture
    const TwipSize panel{PicCover->width() * kTwipsPerPixel, PicCover->height() * kTwipsPerPixel};
    const TwipSize picture{m_picTemp.width() * kTwipsPerPixel, m_picTemp.height() * kTwipsPerPixel};
    imgCover->setGeometry(
        toPixelRect(FitCoverImage(panel, picture, toTwipRect(imgCover->geometry()))));
    imgCover->setPixmap(m_picTemp);
    imgCover->show();
}

void CDPlayer::clearCover() {
    PicCover->setPixmap(QPixmap());
    imgCover->setPixmap(QPixmap());
}

}  // namespace sonarch
