// The library's part of the player window: the disc lookup and the track list, ratings and
// stars, the comment editors and the cover panel.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include "device/disc_key.h"
#include "layout/cover_fit.h"
#include "layout/place_beside_player.h"
#include "library/star_rating.h"
#include "library/stored_text.h"
#include "library/track_number.h"
#include "ui/cd_player.h"
#include "ui/comment_editor.h"
#include "ui/placement.h"
#include "ui/skin_label.h"

namespace sonarch {

namespace {

constexpr int kNoticeRuns = 10;  // a library notice stays about five seconds

}  // namespace

void CDPlayer::connectLibrary() {
    connect(Picture4, &SkinLabel::clicked, this, &CDPlayer::Picture4_Click);
    connect(Picture8, &SkinLabel::clicked, this, &CDPlayer::Picture8_Click);
    connect(Picture1, &SkinLabel::clicked, this, &CDPlayer::openTrackComment);
    connect(Picture2, &SkinLabel::clicked, this, &CDPlayer::openAlbumComment);
    connect(lRandom, &SkinLabel::mouseDown, this, [this] { mnuRate->popup(QCursor::pos()); });
    connect(lRandom, &SkinLabel::mouseMove, this, [this] { setOptionColour(lRandom, kOptionOn); });
    for (int rating = 1; rating <= 10; ++rating) {
        QAction* item = findChild<QAction*>(QString("r%1").arg(rating));
        connect(item, &QAction::triggered, this, [this, rating] {
            SetTrackRating(static_cast<std::int16_t>(rating),
                           FormatTrackNumber(m_state.currentTrack));
        });
    }
}

void CDPlayer::showLibraryNotice(const std::string& text) {
    m_noticeRuns = kNoticeRuns;
    Info->setText(QString::fromStdString(text));
    Info->setToolTip(QString::fromStdString(text));
}

void CDPlayer::GetCDToc() {
    const std::string& path = m_state.settings.databasePath;
    if (path.empty() || !LibraryStore::isAvailable(path)) {
        return;
    }
    const Result<std::string> key = ComputeDiscKey(m_device, [this] { letEventsRun(); });
    if (!key.ok()) {
        return;  // no table of contents: the lookup waits for the next disc
    }
    m_state.currentDiscKey = StoredDiscKey(key.value());
    clearTrackRows();
    const auto found = m_library.readDisc(path, m_state.currentDiscKey);
    if (found.status == LibraryStatus::Failed) {
        showLibraryNotice(found.error);
        return;
    }
    for (const TrackRecord& record : found.value) {
        addTrackRow({record.trkNum, record.trkTime, record.trkTitle, record.trkArtist, record.album,
                     "0", record.rating});
        m_state.coverPath = record.cover;
    }
    if (trackRowCount() > 0) {
        AutoSize();
    }
}

void CDPlayer::Picture4_Click() {
    // The wait cursor and the stopped timer are put back however the lookup ends.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Timer1->stop();
    m_poll.runExclusive([this] { GetCDToc(); });
    Timer1->start();
    QApplication::restoreOverrideCursor();
    closeIfPending();
}

void CDPlayer::SetTrackRating(std::int16_t rating, const std::string& trackText) {
    const std::string& path = m_state.settings.databasePath;
    if (!LibraryStore::isAvailable(path)) {
        return;
    }
    const auto written = m_library.setRating(path, m_state.currentDiscKey, trackText, rating);
    if (written.status == LibraryStatus::Failed) {
        m_services.messages.showMessage(written.error);
        return;
    }
    if (m_state.currentTrack >= 1 && m_state.currentTrack <= trackRowCount()) {
        LV->topLevelItem(m_state.currentTrack - 1)->setText(6, QString::number(rating));
    }
    if (m_state.settings.showRating) {
        ShowStar(rating);
    }
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
    const TwipPoint at = PlaceBesidePlayer(
        toTwipRect(frameGeometry()), isMinimized() || isHidden(), screenTwips(this),
        {window->width() * kTwipsPerPixel, window->height() * kTwipsPerPixel});
    window->move(toPixels(at.left), toPixels(at.top));
}

void CDPlayer::openTrackComment() {
    if (!LibraryStore::isAvailable(m_state.settings.databasePath)) {
        return;
    }
    // Fixed now, so the editor keeps its track while playback moves on.
    m_state.commentTrack = m_state.currentTrack;
    showCommentEditor(
        frmtrkCom, CommentEditor::trackLayout(),
        [this] {
            return m_library.trackComment(m_state.settings.databasePath, m_state.currentDiscKey,
                                          FormatTrackNumber(m_state.commentTrack));
        },
        [this](const std::string& text) {
            return m_library.setTrackComment(m_state.settings.databasePath, m_state.currentDiscKey,
                                             FormatTrackNumber(m_state.commentTrack), text);
        });
}

void CDPlayer::openAlbumComment() {
    if (!LibraryStore::isAvailable(m_state.settings.databasePath)) {
        return;
    }
    showCommentEditor(
        frmAlbCom, CommentEditor::albumLayout(),
        [this] {
            return m_library.albumComment(m_state.settings.databasePath, m_state.currentDiscKey);
        },
        [this](const std::string& text) {
            return m_library.setAlbumComment(m_state.settings.databasePath, m_state.currentDiscKey,
                                             text);
        });
}

void CDPlayer::showCommentEditor(
    QPointer<CommentEditor>& editor, const EditorLayout& layout,
    const std::function<LibraryOutcome<std::string>()>& load,
    const std::function<LibraryOutcome<int>(const std::string&)>& save) {
    if (editor) {
        editor->raise();  // already open: brought forward, not loaded again
        editor->activateWindow();
        return;
    }
    editor = new CommentEditor(layout, this);
    const auto loaded = load();
    if (loaded.status == LibraryStatus::Failed) {
        m_services.messages.showMessage(loaded.error);
    }
    editor->setText(QString::fromStdString(loaded.value));
    placeBesidePlayer(editor);
    CommentEditor* window = editor;
    connect(window, &CommentEditor::updateRequested, this, [this, window, save] {
        if (!LibraryStore::isAvailable(m_state.settings.databasePath)) {
            return;  // nothing written; the text stays on screen
        }
        const auto saved = save(window->text().toStdString());
        if (saved.status == LibraryStatus::Failed) {
            m_services.messages.showMessage(saved.error);
            return;
        }
        window->close();
    });
    window->show();
}

void CDPlayer::Picture8_Click() {
    if (m_state.settings.trackListShown) {
        setHeightTwips(kNormalHeightTwips);
        m_state.settings.trackListShown = false;
        Picture8->setPixmap(m_slots["picex"]);
        picExpand->show();
        clearCover();
        PicCover->hide();
    } else {
        setHeightTwips(kExpandedHeightTwips);
        m_state.settings.trackListShown = true;
        Picture8->setPixmap(m_slots["picclose"]);
        picExpand->hide();
        PicCover->show();
        PicCover->raise();
        LoadImage(m_state.coverPath);
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
