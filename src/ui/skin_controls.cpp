#include "ui/skin_controls.h"

#include <QPalette>
#include <cassert>

#include "model/colours.h"
#include "ui/image_slots.h"
#include "ui/placement.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"

namespace sonarch {

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

void giveLook(SkinLabel* control, ControlLook look) {
    switch (look) {
        case ControlLook::Picture:
            control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            break;
        case ControlLook::Plain:
            break;
        case ControlLook::Letter:
            control->setFont(pixelFont(10, true));
            control->setAlignment(Qt::AlignCenter);
            setTextColour(control, kOptionOff);
            break;
        case ControlLook::Status:
            control->setFont(pixelFont(9));
            setTextColour(control, 0xFFE0A0);
            break;
        case ControlLook::Number:
            control->setFont(pixelFont(8, true));
            control->setAlignment(Qt::AlignCenter);
            setTextColour(control, kNoTrack);
            break;
        case ControlLook::More:
            control->setFont(pixelFont(8, true));
            setTextColour(control, kOtherTrack);
            break;
        case ControlLook::Time:
            control->setFont(pixelFont(15, true, "DejaVu Sans Mono"));
            control->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setTextColour(control, 0xFFFF00);
            break;
        case ControlLook::TrackCaption:
            control->setFont(pixelFont(8));
            setTextColour(control, 0xFFD070);
            break;
        case ControlLook::DiscCaption:
            control->setFont(pixelFont(8));
            control->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setTextColour(control, 0xFFD070);
            break;
        case ControlLook::BarCaption:
        case ControlLook::BarTime: {
            QFont font("Small Fonts");
            font.setPointSize(6);
            font.setBold(look == ControlLook::BarTime);
            control->setFont(font);
            setTextColour(control, 0x00FFFF);
            QPalette palette = control->palette();
            palette.setColor(QPalette::Window, toQColor(0x800000));
            control->setPalette(palette);
            control->setAutoFillBackground(true);
            break;
        }
    }
}

}  // namespace

void defineSkinControl(SkinLabel* control, const ControlDefinition& definition,
                       const ImageSlots& skin) {
    control->setText(text(definition.caption));
    control->setToolTip(text(definition.tooltip));
    if (const auto place = designedPlace(definition.name)) {
        // Places are the window's; a part placed in it takes them from its own corner.
        const QWidget* parent = control->parentWidget();
        const QWidget* window = control->window();
        const QPoint offset = parent == window ? QPoint() : parent->mapTo(window, QPoint());
        control->setGeometry(toPixelRect(*place).translated(-offset));
    }
    giveLook(control, definition.look);
    if (!definition.slot.empty()) {
        control->setPixmap(skin[text(definition.slot)]);
    }
    if (definition.hidden) {
        control->hide();
    }
}

void defineSkinControl(SkinLabel* control, std::string_view name, const ImageSlots& skin) {
    const ControlDefinition* definition = controlDefinition(name);
    assert(definition);
    defineSkinControl(control, *definition, skin);
}

SkinControls::SkinControls(ControlPart part, QWidget* parent, const ImageSlots& skin) {
    for (const ControlDefinition& definition : windowControls()) {
        if (definition.part == part) {
            auto* control = new SkinLabel(text(definition.name), parent);
            defineSkinControl(control, definition, skin);
            m_controls.emplace(definition.name, control);
        }
    }
}

SkinLabel* SkinControls::operator()(std::string_view name) const {
    const auto found = m_controls.find(name);
    assert(found != m_controls.end());
    return found->second;
}

}  // namespace sonarch
