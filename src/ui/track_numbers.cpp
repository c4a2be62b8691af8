#include "ui/track_numbers.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>

#include "core/player.h"
#include "core/player_window_model.h"
#include "ui/placement.h"
#include "ui/skin_controls.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"

namespace sonarch {

namespace {

constexpr int kFirstMore = 11;
constexpr int kLastMore = 30;

// Where the part lies: around the numbers and ">>", in the window's pixels.
QRect numbersArea() {
    QRect area;
    for (const char* name : {"N0", "N9", "M"}) {
        area = area.united(toPixelRect(*designedPlace(name)));
    }
    return area;
}

}  // namespace

TrackNumbers::TrackNumbers(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model)
    : QWidget(window), m_model(model), m_menu(new QMenu("More", window)) {
    setObjectName("TrackNumbers");
    setGeometry(numbersArea());
    const SkinControls controls(ControlPart::TrackNumbers, this, skin);
    m_more = controls("M");
    for (int i = 0; i < 10; ++i) {
        SkinLabel* number = controls(QString("N%1").arg(i).toStdString());
        m_numbers[std::size_t(i)] = number;
        connect(number, &SkinLabel::mouseDown, this, [this, i] { m_model.pressTrackNumber(i); });
        connect(number, &SkinLabel::clicked, this, [this, i] { m_model.clickTrackNumber(i); });
    }
    connect(m_more, &SkinLabel::mouseUp, this, &TrackNumbers::openMoreMenu);

    m_menu->setObjectName("mnuMore");
    for (int track = kFirstMore; track <= kLastMore; ++track) {
        QAction* item = m_menu->addAction(QString());
        item->setObjectName(QString("MT%1").arg(track));
        item->setVisible(track == kFirstMore);
        connect(item, &QAction::triggered, this, [this, track] { playMoreTrack(track); });
        m_items[std::size_t(track)] = item;
    }
    styleMenu(m_menu);
}

void TrackNumbers::setColour(int index, WinColour colour) {
    setTextColour(m_numbers[std::size_t(index)], colour);
}

void TrackNumbers::showNumbers(bool shown) {
    for (SkinLabel* number : m_numbers) {
        number->setVisible(shown);
    }
}

void TrackNumbers::emptyMoreMenu() {
    for (int track = kFirstMore + 1; track <= kLastMore; ++track) {
        m_items[std::size_t(track)]->setVisible(false);
    }
}

void TrackNumbers::openMoreMenu() {
    const std::vector<int> tracks = m_model.moreTracks();
    if (tracks.empty()) {
        return;
    }
    for (int track : tracks) {
        m_items[std::size_t(track)]->setText(QString::number(track));
        m_items[std::size_t(track)]->setVisible(true);
    }
    m_menu->popup(QCursor::pos());
}

void TrackNumbers::playMoreTrack(int track) {
    QCoreApplication::processEvents();
    Player& player = m_model.player();
    if (player.isShutDown()) {
        return;  // the window closed meanwhile: the device is no longer ours
    }
    player.playTrack(track);
}

}  // namespace sonarch
