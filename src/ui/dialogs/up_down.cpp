#include "ui/dialogs/up_down.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/option_values.h"

namespace sonarch {

UpDown::UpDown(const QString& name, QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), m_buddy(buddy), m_minimum(minimum), m_maximum(maximum) {
    setObjectName(name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const std::pair<const char*, Qt::ArrowType> arrows[] = {{"up", Qt::UpArrow},
                                                            {"down", Qt::DownArrow}};
    for (const auto& [arrowName, arrow] : arrows) {
        auto* button = new QToolButton(this);
        button->setObjectName(arrowName);
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
        const int by = arrow == Qt::UpArrow ? 1 : -1;
        connect(button, &QToolButton::clicked, this, [this, by] { step(by); });
    }
}

void UpDown::step(int by) {
    const auto typed = ParseSeekStep(m_buddy->text().toStdString());
    const long long value = std::clamp<long long>(typed.value_or(m_minimum), m_minimum, m_maximum);
    m_buddy->setText(QString::number(std::clamp<long long>(value + by, m_minimum, m_maximum)));
}

}  // namespace sonarch
