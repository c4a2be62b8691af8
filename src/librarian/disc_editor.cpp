#include "librarian/disc_editor.h"

#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <string_view>

#include "base/messages.h"
#include "librarian/cover_drop.h"
#include "librarian/file_chooser.h"
#include "librarian/rating_delegate.h"
#include "librarian/release_panel.h"
#include "library/cover_file.h"
#include "library/stored_name.h"
#include "library/stored_text.h"

namespace sonarch {

namespace {

// More than any cover of the Cover Art Archive; a bigger file is not a cover.
constexpr qint64 kLargestCover = 32 * 1024 * 1024;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

std::string text(const QString& value) {
    return value.toStdString();
}

QTableWidgetItem* fixedItem(const QString& value) {
    auto* item = new QTableWidgetItem(value);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QByteArray fileBytes(const std::string& path, qint64 most) {
    if (path.empty()) {
        return {};
    }
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > most) {
        return {};
    }
    return file.readAll();
}

}  // namespace

DiscEditor::DiscEditor(Messages& messages, FileChooser& files, const OnlineSettings& online,
                       QWidget* parent)
    : QWidget(parent), m_messages(messages), m_files(files) {
    setObjectName("discEditor");
    m_state = new QLabel(this);
    m_state->setObjectName("discState");
    m_state->setWordWrap(true);

    m_cover = new CoverDrop(this);
    m_cover->setObjectName("coverPicture");
    m_coverFromFile = new QPushButton("Cover from &file\u2026", this);
    m_coverFromFile->setObjectName("coverFromFile");
    m_noCover = new QPushButton("&No cover", this);
    m_noCover->setObjectName("noCover");
    m_album = new QLineEdit(this);
    m_album->setObjectName("albumEdit");
    m_album->setAccessibleName("Album");
    m_album->setMaxLength(int(kStoredNameLength));
    m_albumComment = new QPlainTextEdit(this);
    m_albumComment->setObjectName("albumComment");
    m_albumComment->setAccessibleName("Album comment");
    m_albumComment->setTabChangesFocus(true);
    m_albumComment->setFixedHeight(m_albumComment->fontMetrics().lineSpacing() * 4);

    m_tracks = new QTableWidget(0, ColumnCount, this);
    m_tracks->setObjectName("trackTable");
    m_tracks->setAccessibleName("Tracks");
    m_tracks->setHorizontalHeaderLabels({"#", "Title", "Artist", "Time", "Rating", "Comment"});
    m_tracks->verticalHeader()->hide();
    m_tracks->verticalHeader()->setDefaultSectionSize(m_tracks->fontMetrics().height() + 10);
    m_tracks->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed |
                              QAbstractItemView::SelectedClicked);
    m_tracks->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tracks->setTabKeyNavigation(true);
    m_tracks->setWordWrap(false);
    m_tracks->setItemDelegateForColumn(Rating, new RatingDelegate(m_tracks));
    QHeaderView* header = m_tracks->horizontalHeader();
    header->setSectionResizeMode(Number, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(Title, QHeaderView::Stretch);
    header->setSectionResizeMode(Artist, QHeaderView::Stretch);
    header->setSectionResizeMode(Time, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(Rating, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(Comment, QHeaderView::Stretch);

    m_online = new ReleasePanel(online, this);
    m_save = new QPushButton("&Save", this);
    m_save->setObjectName("saveDisc");
    m_save->setShortcut(QKeySequence::Save);
    m_save->setToolTip("Save the disc in the library (Ctrl+S)");
    m_close = new QPushButton("&Back to the discs", this);
    m_close->setObjectName("closeDisc");

    auto* fields = new QFormLayout;
    fields->addRow("&Album:", m_album);
    fields->addRow("Album &comment:", m_albumComment);
    auto* coverButtons = new QHBoxLayout;
    coverButtons->addWidget(m_coverFromFile);
    coverButtons->addWidget(m_noCover);
    coverButtons->addStretch(1);
    fields->addRow(coverButtons);
    auto* top = new QHBoxLayout;
    top->addWidget(m_cover, 0, Qt::AlignTop);
    top->addLayout(fields, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_close);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_state);
    layout->addLayout(top);
    // The releases found take room from the tracks only as far as the user lets them.
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("editorSplit");
    split->setChildrenCollapsible(false);
    split->addWidget(m_tracks);
    split->addWidget(m_online);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this, &DiscEditor::saveRequested);
    connect(m_close, &QPushButton::clicked, this, &DiscEditor::closeRequested);
    connect(m_coverFromFile, &QPushButton::clicked, this, [this] {
        const auto chosen = m_files.fileToOpen(
            {"Choose the cover", {}, "Pictures (*.jpg *.jpeg *.png *.gif *.webp);;All files (*)"});
        if (chosen) {
            takeCoverFile(QFile::decodeName(chosen->c_str()));
        }
    });
    connect(m_noCover, &QPushButton::clicked, this, [this] {
        m_pendingCover.reset();
        m_shown.cover.clear();
        showCover();
        updateState();
    });
    connect(m_cover, &CoverDrop::fileDropped, this, &DiscEditor::takeCoverFile);
    connect(m_cover, &CoverDrop::pictureDropped, this,
            [this](const QByteArray& png) { takePicture(png, CoverNameOf(png.toStdString())); });
    connect(m_album, &QLineEdit::textChanged, this, &DiscEditor::updateState);
    connect(m_albumComment, &QPlainTextEdit::textChanged, this, &DiscEditor::updateState);
    connect(m_tracks, &QTableWidget::itemChanged, this, &DiscEditor::updateState);
    connect(m_online, &ReleasePanel::namesChosen, this,
            [this](const DiscEntry& entry, const std::string&) { applyNames(entry); });
    connect(m_online, &ReleasePanel::frontCoverFetched, this,
            [this](const QByteArray& picture, const std::string& release) {
                takePicture(picture, release);
            });
    connect(m_online, &ReleasePanel::busyChanged, this, &DiscEditor::updateState);
}

void DiscEditor::showStored(const DiscDraft& stored, const std::optional<DriveDisc>& drive) {
    m_stored = stored;
    m_pendingCover.reset();
    m_online->setDisc(drive);
    fill(stored);
}

void DiscEditor::showNew(const DriveDisc& disc) {
    m_stored.reset();
    m_pendingCover.reset();
    m_online->setDisc(disc);
    DiscDraft draft =
        DraftOfEntry(disc.text.empty() ? UnnamedDiscEntry(disc) : CdTextDiscEntry(disc));
    if (disc.text.empty()) {
        draft.album.clear();  // to be typed or looked up, not "Unknown"
    }
    fill(draft);
}

void DiscEditor::showSaved(const DiscDraft& stored) {
    m_stored = stored;
    m_pendingCover.reset();
    m_shown.cover = stored.cover;
    showCover();
    updateState();
}

void DiscEditor::fill(const DiscDraft& draft) {
    m_filling = true;
    m_shown = draft;
    m_album->setText(text(draft.album));
    m_albumComment->setPlainText(text(draft.albumComment));
    m_tracks->setRowCount(int(draft.tracks.size()));
    for (int row = 0; row < int(draft.tracks.size()); ++row) {
        const TrackDraft& track = draft.tracks[std::size_t(row)];
        m_tracks->setItem(row, Number, fixedItem(QString::number(track.number)));
        m_tracks->setItem(row, Title, new QTableWidgetItem(text(track.title)));
        m_tracks->setItem(row, Artist, new QTableWidgetItem(text(track.artist)));
        m_tracks->setItem(row, Time, fixedItem(text(track.time)));
        auto* rating = new QTableWidgetItem;
        rating->setData(Qt::EditRole, track.rating);
        rating->setData(Qt::AccessibleTextRole, text(RatingText(track.rating)));
        m_tracks->setItem(row, Rating, rating);
        m_tracks->setItem(row, Comment, new QTableWidgetItem(text(track.comment)));
    }
    m_filling = false;
    showCover();
    updateState();
}

DiscDraft DiscEditor::draft() const {
    DiscDraft draft = m_shown;
    draft.album = StoredName(text(m_album->text()));
    draft.albumComment = FirstCharacters(text(m_albumComment->toPlainText()), kStoredCommentLength);
    for (int row = 0; row < m_tracks->rowCount() && row < int(draft.tracks.size()); ++row) {
        TrackDraft& track = draft.tracks[std::size_t(row)];
        track.title = StoredName(text(m_tracks->item(row, Title)->text()));
        track.artist = StoredName(text(m_tracks->item(row, Artist)->text()));
        track.rating = m_tracks->item(row, Rating)->data(Qt::EditRole).toInt();
        track.comment =
            FirstCharacters(text(m_tracks->item(row, Comment)->text()), kStoredCommentLength);
    }
    return draft;
}

bool DiscEditor::hasChanges() const {
    return !m_stored || m_pendingCover || draft() != *m_stored;
}

bool DiscEditor::busy() const {
    return m_online->busy();
}

void DiscEditor::cancelOnline() {
    m_online->cancel();
}

void DiscEditor::presetRating(int track, int rating) {
    for (int row = 0; row < m_tracks->rowCount() && row < int(m_shown.tracks.size()); ++row) {
        if (m_shown.tracks[std::size_t(row)].number == track) {
            QTableWidgetItem* cell = m_tracks->item(row, Rating);
            cell->setData(Qt::EditRole, rating);
            cell->setData(Qt::AccessibleTextRole, text(RatingText(rating)));
        }
    }
}

void DiscEditor::applyNames(const DiscEntry& entry) {
    m_album->setText(text(entry.album));
    for (int row = 0; row < m_tracks->rowCount() && row < int(entry.tracks.size()); ++row) {
        const TrackEntry& track = entry.tracks[std::size_t(row)];
        m_tracks->item(row, Title)->setText(text(track.title));
        m_tracks->item(row, Artist)->setText(text(track.artist));
    }
}

void DiscEditor::takeCoverFile(const QString& path) {
    const QByteArray bytes = fileBytes(QFile::encodeName(path).toStdString(), kLargestCover);
    const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
    if (bytes.isEmpty() || !PictureExtension(view)) {
        m_messages.showMessage("\u201c" + text(path) +
                               "\u201d is not a picture (JPEG, PNG, GIF or WebP); the cover "
                               "stays as it was.");
        return;
    }
    takePicture(bytes, CoverNameOf(view));
}

void DiscEditor::takePicture(const QByteArray& bytes, const std::string& name) {
    m_pendingCover = PendingCover{name, bytes.toStdString()};
    showCover();
    updateState();
}

void DiscEditor::showCover() {
    if (m_pendingCover) {
        m_cover->showPicture(QByteArray::fromStdString(m_pendingCover->bytes));
    } else {
        m_cover->showPicture(fileBytes(m_shown.cover, kLargestCover));
    }
}

void DiscEditor::updateState() {
    if (m_filling) {
        return;
    }
    const bool changes = hasChanges();
    m_save->setEnabled(changes && !busy());
    QString state;
    if (!m_stored) {
        state =
            "A new disc, not in the library yet: look it up online or type its names, "
            "then save.";
    } else {
        state = changes ? "In the library; changed, not saved yet." : "In the library.";
    }
    m_state->setText(state);
}

}  // namespace sonarch
