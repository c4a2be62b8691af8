#include "librarian/disc_list_model.h"

#include <QFile>
#include <QImageReader>

#include "base/time_text.h"

namespace sonarch {

QString DiscArtistText(const DiscSummary& disc) {
    return disc.artist.empty() ? QStringLiteral("Various artists")
                               : QString::fromStdString(disc.artist);
}

DiscListModel::DiscListModel(QObject* parent) : QAbstractTableModel(parent) {}

void DiscListModel::setDiscs(std::vector<DiscSummary> discs) {
    beginResetModel();
    m_discs = std::move(discs);
    // A cover may have been replaced under the same name.
    m_thumbnails.clear();
    endResetModel();
}

const DiscSummary* DiscListModel::disc(int row) const {
    return row >= 0 && row < int(m_discs.size()) ? &m_discs[std::size_t(row)] : nullptr;
}

int DiscListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_discs.size());
}

int DiscListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DiscListModel::data(const QModelIndex& index, int role) const {
    const DiscSummary* one = disc(index.row());
    if (!one) {
        return {};
    }
    const QString album =
        one->album.empty() ? QStringLiteral("(no album name)") : QString::fromStdString(one->album);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            switch (index.column()) {
                case Album:
                    return album;
                case Artist:
                    return DiscArtistText(*one);
                case Tracks:
                    return one->tracks;
                case Time:
                    return QString::fromStdString(SecondsToText(float(one->seconds)));
            }
            break;
        case Qt::DecorationRole:
            if (index.column() == Album) {
                // A disc without a cover keeps the room of one, so the names line up.
                const QPixmap cover = thumbnail(one->cover);
                if (!cover.isNull()) {
                    return cover;
                }
                QPixmap blank(kThumbnailSize, kThumbnailSize);
                blank.fill(Qt::transparent);
                return blank;
            }
            break;
        case Qt::TextAlignmentRole:
            if (index.column() == Tracks || index.column() == Time) {
                return int(Qt::AlignRight | Qt::AlignVCenter);
            }
            break;
        case kKeyRole:
            return QString::fromStdString(one->key);
        case kOrderRole:
            return (DiscArtistText(*one) + QChar(0x1f) + album).toCaseFolded();
    }
    return {};
}

QVariant DiscListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case Album:
            return QStringLiteral("Album");
        case Artist:
            return QStringLiteral("Artist");
        case Tracks:
            return QStringLiteral("Tracks");
        case Time:
            return QStringLiteral("Time");
    }
    return {};
}

QPixmap DiscListModel::thumbnail(const std::string& path) const {
    const QString name = QFile::decodeName(path.c_str());
    if (name.isEmpty()) {
        return {};
    }
    if (const auto found = m_thumbnails.constFind(name); found != m_thumbnails.constEnd()) {
        return *found;
    }
    // Read at the size shown: a large JPEG decodes much faster that way.
    QImageReader reader(name);
    QSize size = reader.size();
    if (size.isValid()) {
        size.scale(kThumbnailSize, kThumbnailSize, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    const QImage image = reader.read();
    QPixmap pixmap;
    if (!image.isNull()) {
        pixmap = QPixmap::fromImage(image.scaled(kThumbnailSize, kThumbnailSize,
                                                 Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    m_thumbnails.insert(name, pixmap);
    return pixmap;
}

}  // namespace sonarch
