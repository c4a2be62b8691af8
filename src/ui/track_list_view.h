#pragma once

#include <QIcon>
#include <QTreeWidget>
#include <optional>
#include <vector>

namespace sonarch {

class PlayerWindowModel;
struct TrackRow;

// The track list of the lower area (LV): one row per track, the numbers formatted as the
// list shows them; a double-click plays the selected row's track.
class TrackListView : public QTreeWidget {
    Q_OBJECT
public:
    TrackListView(QWidget* window, const QIcon& rowIcon, PlayerWindowModel& model);

    void showRows(const std::vector<TrackRow>& rows);
    void showRating(int row, const std::optional<int>& rating);
    // Selects row `row` (counted from 1) and scrolls to it; nothing for no such row.
    void selectRow(int row);

private:
    void AutoSize();

    QIcon m_rowIcon;
};

}  // namespace sonarch
