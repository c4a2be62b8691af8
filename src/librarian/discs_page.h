#pragma once

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "library/library_file.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

namespace sonarch {

class DiscListModel;

// Every disc of the library in a list sorted by artist, then album, with a filter box and
// the commands on the discs.
class DiscsPage : public QWidget {
    Q_OBJECT
public:
    explicit DiscsPage(QWidget* parent = nullptr);

    void setDiscs(std::vector<DiscSummary> discs);
    // The disc the list's current row shows.
    std::optional<DiscSummary> currentDisc() const;
    // Makes the disc with this key the current row, when the list shows it.
    void selectDisc(const std::string& key);
    void focusList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void openRequested(const std::string& key);
    void deleteRequested(const std::string& key);
    void addRequested();

private:
    void updateButtons();

    DiscListModel* m_model;
    QSortFilterProxyModel* m_sorted;
    QLineEdit* m_filter;
    QTreeView* m_list;
    QLabel* m_count;
    QPushButton* m_add;
    QPushButton* m_open;
    QPushButton* m_delete;
};

}  // namespace sonarch
