#include "ui/track_list_view.h"

#include "base/time_text.h"
#include "core/player_window_model.h"
#include "model/track_list.h"
#include "ui/placement.h"
#include "ui/skin_style.h"

namespace sonarch {

namespace {

QString numberText(const std::optional<int>& number) {
    return number ? QString::number(*number) : QString();
}

}  // namespace

TrackListView::TrackListView(QWidget* window, const QIcon& rowIcon, PlayerWindowModel& model)
    : QTreeWidget(window), m_rowIcon(rowIcon) {
    setObjectName("LV");
    setColumnCount(7);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setFont(pixelFont(10));
    setStyleSheet(
        "QTreeWidget { background: #060c26; color: #aad7ff; border: 1px solid #3a56aa; }"
        "QTreeWidget::item:selected { background: #1d3a8c; color: #00ffff; }"
        "QScrollBar { background: #0a1440; width: 10px; height: 10px; }"
        "QScrollBar::handle { background: #3a56aa; border-radius: 3px; min-height: 16px;"
        " min-width: 16px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }");
    const int widths[] = {1440, 1440, 800, 1440, 0, 0, 0};
    for (int column = 0; column < 7; ++column) {
        setColumnWidth(column, toPixels(widths[column]));
        setColumnHidden(column, widths[column] == 0);
    }
    setGeometry(toPixelRect(*designedPlace("LV")));
    connect(this, &QTreeWidget::itemDoubleClicked, &model, &PlayerWindowModel::playSelectedRow);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this, &model] {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        model.noteSelectedRow(selected.isEmpty() ? 0 : indexOfTopLevelItem(selected.front()) + 1);
    });
}

void TrackListView::showRows(const std::vector<TrackRow>& rows) {
    clear();
    for (const TrackRow& row : rows) {
        auto* item = new QTreeWidgetItem(this);
        const QString cells[] = {
            row.number ? QString::fromStdString(twoDigits(*row.number)) : QString(),
            QString::fromStdString(row.length),
            QString::fromStdString(row.title),
            QString::fromStdString(row.artist),
            QString::fromStdString(row.album),
            QString::number(row.orderKey),
            numberText(row.rating)};
        for (int column = 0; column < 7; ++column) {
            item->setText(column, cells[column]);
        }
        item->setIcon(0, m_rowIcon);
    }
    if (topLevelItemCount() > 0) {
        AutoSize();
    }
}

void TrackListView::showRating(int row, const std::optional<int>& rating) {
    if (row >= 1 && row <= topLevelItemCount()) {
        topLevelItem(row - 1)->setText(6, numberText(rating));
    }
}

void TrackListView::selectRow(int row) {
    if (row < 1 || row > topLevelItemCount()) {
        return;
    }
    QTreeWidgetItem* item = topLevelItem(row - 1);
    if (!item->isSelected()) {
        setCurrentItem(item);
        item->setSelected(true);
        scrollToItem(item);
        viewport()->update();
    }
}

void TrackListView::AutoSize() {
    for (int column = 0; column < 4; ++column) {
        resizeColumnToContents(column);
    }
}

}  // namespace sonarch
