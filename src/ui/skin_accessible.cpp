#include "ui/skin_accessible.h"

#include <QAccessibleWidget>

#include "ui/skin_label.h"

namespace sonarch {

namespace {

class SkinLabelAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SkinLabelAccessible(SkinLabel* label)
        : QAccessibleWidget(label, roleOf(label->role())), m_label(label) {
        addControllingSignal(QStringLiteral("clicked()"));
    }

    static QAccessible::Role roleOf(SkinRole role) {
        switch (role) {
            case SkinRole::Button:
                return QAccessible::Button;
            case SkinRole::CheckBox:
                return QAccessible::CheckBox;
            case SkinRole::Slider:
                return QAccessible::Slider;
            case SkinRole::Text:
                return QAccessible::StaticText;
            case SkinRole::Picture:
                break;
        }
        return QAccessible::Graphic;
    }

    // The role as the window gives it now.
    QAccessible::Role role() const override { return roleOf(m_label->role()); }

    QString text(QAccessible::Text t) const override {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name) {
            if (!m_label->accessibleName().isEmpty()) {
                return m_label->accessibleName();
            }
            // Text fields are named by what they show; the rest by their tip, else caption;
            // an empty field by what it is for.
            const QString shown = m_label->text();
            const QString own = m_label->role() == SkinRole::Text
                                    ? (shown.isEmpty() ? plainTip() : shown)
                                    : (plainTip().isEmpty() ? shown : plainTip());
            return own.isEmpty() ? m_label->accessibleDescription() : own;
        }
        if (t == QAccessible::Value) {
            if (m_label->role() == SkinRole::Slider) {
                return QString::number(m_label->value());
            }
            if (m_label->role() == SkinRole::Text) {
                return m_label->text();
            }
        }
        if (t == QAccessible::Description && own.isEmpty() && m_label->role() == SkinRole::Text) {
            return m_label->toolTip();
        }
        return own;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (m_label->role() == SkinRole::CheckBox) {
            s.checkable = true;
            s.checked = m_label->checked();
        }
        if (m_label->role() == SkinRole::Text) {
            s.readOnly = true;
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface && m_label->role() == SkinRole::Slider) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QStringList actionNames() const override {
        if (acts()) {
            return {pressAction()};
        }
        if (m_label->role() == SkinRole::Slider) {
            return {increaseAction(), decreaseAction()};
        }
        return QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (!m_label->isEnabled()) {
            return;
        }
        if (acts() && name == pressAction()) {
            m_label->press();
        } else if (m_label->role() == SkinRole::Slider &&
                   (name == increaseAction() || name == decreaseAction())) {
            emit m_label->stepRequested(name == increaseAction() ? 1 : -1);
        } else {
            QAccessibleWidget::doAction(name);
        }
    }

    // The value interface; a screen reader may also set a slider.
    QVariant currentValue() const override { return m_label->value(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return m_label->maximum(); }
    QVariant minimumValue() const override { return m_label->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    bool acts() const {
        return m_label->role() == SkinRole::Button || m_label->role() == SkinRole::CheckBox;
    }
    // The tip without the key it names ("Play (Space)" is read as "Play"; the key is the
    // shortcut the reader announces anyway).
    QString plainTip() const {
        QString tip = m_label->toolTip();
        const int key = tip.lastIndexOf(QStringLiteral(" ("));
        if (key > 0 && tip.endsWith(QLatin1Char(')'))) {
            tip.truncate(key);
        }
        return tip;
    }

    SkinLabel* m_label;
};

QAccessibleInterface* skinFactory(const QString&, QObject* object) {
    // Asked for each class of the object's chain; the label's own class answers first.
    auto* label = qobject_cast<SkinLabel*>(object);
    if (label && object->isWidgetType()) {
        return new SkinLabelAccessible(label);
    }
    return nullptr;
}

}  // namespace

void installSkinAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&skinFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace sonarch
