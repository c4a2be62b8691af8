#include "librarian/release_panel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "lookup/cover_fetch.h"
#include "lookup/musicbrainz_disc.h"
#include "lookup/release_entry.h"
#include "lookup/release_lookup.h"
#include "lookup/web_client.h"

namespace sonarch {

namespace {

enum Column { Cover, Artist, Title, Date, Country, LabelOrBarcode, Tracks, ColumnCount };
constexpr int kThumbnailSide = 64;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString labelOrBarcode(const Release& release) {
    QStringList parts;
    if (!release.label.empty()) {
        parts << text(release.label);
    }
    if (!release.catalogNumber.empty()) {
        parts << text(release.catalogNumber);
    }
    if (!release.barcode.empty()) {
        parts << "barcode " + text(release.barcode);
    }
    return parts.join(", ");
}

}  // namespace

ReleasePanel::ReleasePanel(const OnlineSettings& online, QWidget* parent)
    : QWidget(parent),
      m_online(online),
      m_web(new WebClient(online.timeout, online.spacing, this)),
      m_lookup(new ReleaseLookup(*m_web, online.musicBrainz, this)),
      m_thumbnails(new CoverFetch(*m_web, online.coverArt, this)),
      m_frontCover(new CoverFetch(*m_web, online.coverArt, this)) {
    setObjectName("releasePanel");
    m_lookUpButton = new QPushButton("Look up &online", this);
    m_lookUpButton->setObjectName("lookUpOnline");
    m_lookUpButton->setToolTip("Ask MusicBrainz which releases hold this disc");
    m_status = new QLabel(this);
    m_status->setObjectName("onlineStatus");
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("onlineProgress");
    m_progress->setRange(0, 0);
    m_progress->setAccessibleName("Looking up online");
    m_progress->setMaximumWidth(160);
    m_progress->hide();
    m_cancel = new QPushButton("Cancel", this);
    m_cancel->setObjectName("cancelOnline");
    m_cancel->setAccessibleName("Cancel the online lookup");
    m_cancel->hide();

    m_list = new QTreeWidget(this);
    m_list->setObjectName("releaseList");
    m_list->setAccessibleName("Releases that hold this disc");
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels(
        {"Cover", "Artist", "Title", "Date", "Country", "Label or barcode", "Tracks"});
    m_list->setRootIsDecorated(false);
    m_list->setIconSize({kThumbnailSide, kThumbnailSide});
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    m_list->setMinimumHeight(2 * kThumbnailSide);
    m_list->header()->setSectionResizeMode(Cover, QHeaderView::Fixed);
    m_list->header()->resizeSection(Cover, kThumbnailSide + 12);
    m_list->hide();
    m_use = new QPushButton("&Use this release", this);
    m_use->setObjectName("useRelease");
    m_use->setEnabled(false);
    m_use->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(m_lookUpButton);
    top->addWidget(m_status, 1);
    top->addWidget(m_progress);
    top->addWidget(m_cancel);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_use);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);

    connect(m_lookUpButton, &QPushButton::clicked, this, &ReleasePanel::lookUp);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        cancel();
        setStatus("Cancelled; nothing was changed.", false);
    });
    connect(m_use, &QPushButton::clicked, this, &ReleasePanel::useChosen);
    connect(m_list, &QTreeWidget::itemActivated, this, &ReleasePanel::useChosen);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { m_use->setEnabled(item != nullptr); });
    connect(m_lookup, &ReleaseLookup::stepStarted, this, [this](ReleaseLookup::Step step) {
        if (step == ReleaseLookup::Step::ByTableOfContents) {
            setStatus(
                "MusicBrainz does not know this disc by its ID; asking for discs with "
                "the same track lengths\u2026",
                true);
        }
    });
    connect(m_lookup, &ReleaseLookup::finished, this, &ReleasePanel::lookedUp);
    connect(m_thumbnails, &CoverFetch::finished, this, &ReleasePanel::thumbnailFetched);
    connect(m_frontCover, &CoverFetch::finished, this, &ReleasePanel::frontCoverDone);
    setDisc(std::nullopt);
}

ReleasePanel::~ReleasePanel() = default;

void ReleasePanel::setDisc(const std::optional<DriveDisc>& disc) {
    cancel();
    m_disc = disc;
    m_releases.clear();
    m_list->clear();
    m_list->hide();
    m_use->hide();
    m_status->clear();
    setVisible(disc.has_value());
}

bool ReleasePanel::busy() const {
    return m_busy;
}

void ReleasePanel::setStatus(const QString& status, bool working) {
    m_status->setText(status);
    m_progress->setVisible(working);
    m_cancel->setVisible(working);
    m_lookUpButton->setEnabled(!working);
    if (working != m_busy) {
        m_busy = working;
        emit busyChanged(working);
    }
}

void ReleasePanel::cancel() {
    m_lookup->cancel();
    m_thumbnails->cancel();
    m_frontCover->cancel();
    m_thumbnailQueue.clear();
    m_thumbnailFor.reset();
    m_frontCoverFor.clear();
    setStatus(m_status->text(), false);
}

void ReleasePanel::lookUp() {
    if (!m_disc) {
        return;
    }
    cancel();
    const auto id = MusicBrainzDiscOf(m_disc->toc);
    if (!id.ok()) {
        setStatus("This disc cannot be looked up: " + text(id.error()), false);
        return;
    }
    m_releases.clear();
    m_list->clear();
    m_list->hide();
    m_use->hide();
    setStatus("Asking MusicBrainz about this disc\u2026", true);
    m_lookup->start(id.value());
}

void ReleasePanel::lookedUp(const ReleaseLookupResult& result) {
    if (result.failed()) {
        setStatus("The disc could not be looked up: " + text(result.error) +
                      " Nothing was changed; the names can be typed in.",
                  false);
        return;
    }
    if (result.releases.empty()) {
        setStatus("MusicBrainz knows no release of this disc; type its names in.", false);
        return;
    }
    m_releases = result.releases;
    showReleases();
    if (m_releases.size() == 1) {
        setStatus("One release holds this disc; its names are filled in.", false);
        m_list->setCurrentItem(m_list->topLevelItem(0));
        useChosen();
        return;
    }
    setStatus(QString("%1 releases hold this disc: pick one, then \u201cUse this release\u201d.")
                  .arg(m_releases.size()),
              false);
    fetchNextThumbnail();
}

void ReleasePanel::showReleases() {
    m_list->clear();
    for (std::size_t i = 0; i < m_releases.size(); ++i) {
        const Release& release = m_releases[i];
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(Artist, text(release.artist));
        item->setText(Title, text(release.title));
        item->setText(Date, text(release.date));
        item->setText(Country, text(release.country));
        item->setText(LabelOrBarcode, labelOrBarcode(release));
        item->setText(Tracks, QString::number(release.tracks.size()));
        item->setTextAlignment(Tracks, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(Cover, Qt::UserRole, qulonglong(i));
        item->setSizeHint(Cover, QSize(kThumbnailSide, kThumbnailSide + 4));
        if (release.hasFrontCover) {
            m_thumbnailQueue.push_back(i);
        }
    }
    for (int column = Artist; column < ColumnCount; ++column) {
        m_list->resizeColumnToContents(column);
    }
    m_list->show();
    m_use->show();
    m_list->setFocus();
}

void ReleasePanel::fetchNextThumbnail() {
    if (m_thumbnailFor || m_thumbnailQueue.empty()) {
        return;
    }
    m_thumbnailFor = m_thumbnailQueue.front();
    m_thumbnailQueue.erase(m_thumbnailQueue.begin());
    m_thumbnails->start(m_releases[*m_thumbnailFor].id, CoverSize::Thumbnail);
}

void ReleasePanel::thumbnailFetched(const CoverFetchResult& result) {
    const std::optional<std::size_t> release = std::exchange(m_thumbnailFor, std::nullopt);
    // A thumbnail that does not come is only a missing picture in the list.
    if (release && result.picture) {
        QImage image;
        if (image.loadFromData(result.picture->bytes)) {
            const QPixmap thumbnail = QPixmap::fromImage(image.scaled(
                kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            if (QTreeWidgetItem* item = m_list->topLevelItem(int(*release))) {
                item->setIcon(Cover, thumbnail);
            }
        }
    }
    fetchNextThumbnail();
}

void ReleasePanel::useChosen() {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !m_disc || m_busy) {
        return;
    }
    const Release& release = m_releases[item->data(Cover, Qt::UserRole).toULongLong()];
    const auto entry = ReleaseDiscEntry(*m_disc, release);
    if (!entry.ok()) {
        setStatus("This release does not fit the disc: " + text(entry.error()), false);
        return;
    }
    // The thumbnails are of no more use; the cover comes sooner without them.
    m_thumbnails->cancel();
    m_thumbnailFor.reset();
    m_thumbnailQueue.clear();
    emit namesChosen(entry.value(), release.id);
    if (!release.hasFrontCover) {
        setStatus("The names of \u201c" + text(release.title) +
                      "\u201d are filled in; it has no front cover in the Cover Art Archive.",
                  false);
        return;
    }
    setStatus("The names of \u201c" + text(release.title) +
                  "\u201d are filled in; fetching its front cover\u2026",
              true);
    m_frontCoverFor = release.id;
    m_frontCover->start(release.id, CoverSize::Full);
}

void ReleasePanel::frontCoverDone(const CoverFetchResult& result) {
    const std::string release = std::exchange(m_frontCoverFor, {});
    if (result.failed()) {
        setStatus("The front cover could not be fetched: " + text(result.error) +
                      " The disc can be saved without it.",
                  false);
        return;
    }
    if (!result.picture) {
        setStatus("The Cover Art Archive has no front cover of this release.", false);
        return;
    }
    setStatus("The names and the front cover are filled in; save to keep them.", false);
    emit frontCoverFetched(result.picture->bytes, release);
}

}  // namespace sonarch
