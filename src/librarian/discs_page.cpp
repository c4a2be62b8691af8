#include "librarian/discs_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

#include "librarian/disc_list_model.h"

namespace sonarch {

DiscsPage::DiscsPage(QWidget* parent)
    : QWidget(parent), m_model(new DiscListModel(this)), m_sorted(new QSortFilterProxyModel(this)) {
    setObjectName("discsPage");
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(DiscListModel::kOrderRole);
    m_sorted->setSortLocaleAware(true);
    m_sorted->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_sorted->setFilterKeyColumn(-1);
    m_sorted->sort(DiscListModel::Album);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName("discFilter");
    m_filter->setPlaceholderText("Filter by album or artist");
    m_filter->setAccessibleName("Filter the discs");
    m_filter->setClearButtonEnabled(true);
    m_list = new QTreeView(this);
    m_list->setObjectName("discList");
    m_list->setAccessibleName("Discs");
    m_list->setModel(m_sorted);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setIconSize({DiscListModel::kThumbnailSize, DiscListModel::kThumbnailSize});
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setSectionResizeMode(DiscListModel::Album, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(DiscListModel::Artist, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(DiscListModel::Tracks, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(DiscListModel::Time, QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(false);
    m_count = new QLabel(this);
    m_count->setObjectName("discCount");

    m_add = new QPushButton("&Add the disc in the drive", this);
    m_add->setObjectName("addDriveDisc");
    m_open = new QPushButton("&Open", this);
    m_open->setObjectName("openDisc");
    m_delete = new QPushButton("&Delete\u2026", this);
    m_delete->setObjectName("deleteDisc");

    auto* top = new QHBoxLayout;
    top->addWidget(m_filter, 1);
    top->addWidget(m_add);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    bottom->addWidget(m_open);
    bottom->addWidget(m_delete);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);

    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_sorted->setFilterFixedString(text);
        updateButtons();
    });
    connect(m_add, &QPushButton::clicked, this, &DiscsPage::addRequested);
    connect(m_list, &QTreeView::activated, this, [this] {
        if (const auto disc = currentDisc()) {
            emit openRequested(disc->key);
        }
    });
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (const auto disc = currentDisc()) {
            emit openRequested(disc->key);
        }
    });
    auto requestDelete = [this] {
        if (const auto disc = currentDisc()) {
            emit deleteRequested(disc->key);
        }
    };
    connect(m_delete, &QPushButton::clicked, this, requestDelete);
    m_list->installEventFilter(this);
    m_filter->installEventFilter(this);
    auto* filterKey = new QShortcut(QKeySequence::Find, this);
    connect(filterKey, &QShortcut::activated, m_filter, [this] {
        m_filter->setFocus();
        m_filter->selectAll();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &DiscsPage::updateButtons);
    updateButtons();
}

bool DiscsPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_list && key == Qt::Key_Delete) {
        if (const auto disc = currentDisc()) {
            emit deleteRequested(disc->key);
        }
        return true;
    }
    // The filter box's Down key goes on to the list.
    if (watched == m_filter && key == Qt::Key_Down) {
        focusList();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DiscsPage::setDiscs(std::vector<DiscSummary> discs) {
    const auto current = currentDisc();
    m_model->setDiscs(std::move(discs));
    for (int column = DiscListModel::Tracks; column <= DiscListModel::Time; ++column) {
        m_list->resizeColumnToContents(column);
    }
    if (current) {
        selectDisc(current->key);
    }
    updateButtons();
}

std::optional<DiscSummary> DiscsPage::currentDisc() const {
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid()) {
        return std::nullopt;
    }
    const DiscSummary* disc = m_model->disc(m_sorted->mapToSource(current).row());
    return disc ? std::optional(*disc) : std::nullopt;
}

void DiscsPage::selectDisc(const std::string& key) {
    const QModelIndexList found =
        m_sorted->match(m_sorted->index(0, DiscListModel::Album), DiscListModel::kKeyRole,
                        QString::fromStdString(key), 1, Qt::MatchExactly);
    if (!found.isEmpty()) {
        m_list->setCurrentIndex(found.front());
        m_list->scrollTo(found.front());
    }
    updateButtons();
}

void DiscsPage::focusList() {
    m_list->setFocus();
    if (!m_list->currentIndex().isValid() && m_sorted->rowCount() > 0) {
        m_list->setCurrentIndex(m_sorted->index(0, DiscListModel::Album));
    }
}

void DiscsPage::updateButtons() {
    const bool chosen = currentDisc().has_value();
    m_open->setEnabled(chosen);
    m_delete->setEnabled(chosen);
    const int shown = m_sorted->rowCount();
    const int all = m_model->rowCount();
    if (all == 0) {
        m_count->setText("The library holds no disc yet.");
    } else if (shown == all) {
        m_count->setText(all == 1 ? QString("1 disc") : QString("%1 discs").arg(all));
    } else {
        m_count->setText(QString("%1 of %2 discs").arg(shown).arg(all));
    }
}

}  // namespace sonarch
