#include "librarian/rating_delegate.h"

#include <QComboBox>

#include "librarian/disc_draft.h"

namespace sonarch {

namespace {

constexpr int kMostRating = 10;

}  // namespace

QString RatingDelegate::displayText(const QVariant& value, const QLocale&) const {
    return QString::fromStdString(RatingText(value.toInt()));
}

QWidget* RatingDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex&) const {
    auto* choice = new QComboBox(parent);
    choice->setObjectName("ratingChoice");
    choice->setAccessibleName("Rating");
    for (int rating = 0; rating <= kMostRating; ++rating) {
        choice->addItem(QString::fromStdString(RatingText(rating)), rating);
    }
    return choice;
}

void RatingDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* choice = static_cast<QComboBox*>(editor);
    choice->setCurrentIndex(qBound(0, index.data(Qt::EditRole).toInt(), kMostRating));
}

void RatingDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
    const int rating = static_cast<QComboBox*>(editor)->currentData().toInt();
    model->setData(index, rating, Qt::EditRole);
    model->setData(index, QString::fromStdString(RatingText(rating)), Qt::AccessibleTextRole);
}

}  // namespace sonarch
