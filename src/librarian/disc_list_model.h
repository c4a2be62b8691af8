#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPixmap>

#include <vector>

#include "library/library_file.h"

namespace sonarch {

// The discs of a library as rows: album (with the cover as a thumbnail), artist, number of
// tracks and total time.
class DiscListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Album, Artist, Tracks, Time, ColumnCount };
    // The disc key of a row.
    static constexpr int kKeyRole = Qt::UserRole + 1;
    // Artist, then album, in lower case: the order of the list.
    static constexpr int kOrderRole = Qt::UserRole + 2;
    static constexpr int kThumbnailSize = 48;

    explicit DiscListModel(QObject* parent = nullptr);

    void setDiscs(std::vector<DiscSummary> discs);
    const DiscSummary* disc(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QPixmap thumbnail(const std::string& path) const;

    std::vector<DiscSummary> m_discs;
    mutable QHash<QString, QPixmap> m_thumbnails;  // by cover path; null: no picture there
};

// The artist the list shows: the artist of every track, or "Various artists".
QString DiscArtistText(const DiscSummary& disc);

}  // namespace sonarch
