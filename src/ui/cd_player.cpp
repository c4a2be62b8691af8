#include "ui/cd_player.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTreeWidget>
#include <QWindow>

#include "base/time_text.h"
#include "ui/disc_drop.h"
#include "ui/placement.h"
#include "ui/player_actions.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"
#include "ui/tray_icon.h"
#include "ui/window_mover.h"

namespace sonarch {

CDPlayer::CDPlayer(Player& player, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_player(player),
      m_actions(new PlayerActions(this)),
      m_mover(new WindowMover(this)) {
    setObjectName("CDPlayer");
    setWindowTitle("Sonarch CD Player");
    setWindowIcon(QIcon(m_slots["icon"]));
    setFixedWidth(toPixels(kWindowWidthTwips));
    setHeightTwips(kNormalHeightTwips);
    setMouseTracking(true);
    createControls();
    createMenus();
    connectButtons();
    connectLetters();
    connectSeeking();
    connectVolume();
    connectLibrary();
    connectOptions();
    listenToPlayer();
    listenToDisplay();
    listenToTrackList();
    showDisplay();
    new DiscDrop(this, [this](const std::string& path) { m_player.openDrive(path); });
}

CDPlayer::~CDPlayer() {
    Form_Unload();
}

void CDPlayer::connectButtons() {
    // Feedback is a copy of a slot's picture, any mouse button; the skin is never redrawn.
    const std::pair<SkinLabel*, int> pressable[] = {{btrack, 1},  {play, 2},   {pause, 3},
                                                    {stopbtn, 4}, {ftrack, 5}, {eject, 6},
                                                    {rew, 7},     {ff, 8}};
    for (const auto& [button, number] : pressable) {
        const QString normal = QString("p%1").arg(number);
        connect(button, &SkinLabel::mouseDown, this,
                [this, button, normal] { button->setPixmap(m_slots[normal + "a"]); });
        connect(button, &SkinLabel::mouseUp, this,
                [this, button, normal] { button->setPixmap(m_slots[normal]); });
    }
    const PlayerActions& a = *m_actions;
    connect(a.play, &QAction::triggered, this, &CDPlayer::play_Click);
    connect(a.pause, &QAction::triggered, this, &CDPlayer::pause_Click);
    connect(a.stop, &QAction::triggered, this, &CDPlayer::stopbtn_Click);
    connect(a.previous, &QAction::triggered, this, &CDPlayer::btrack_Click);
    connect(a.next, &QAction::triggered, this, &CDPlayer::ftrack_Click);
    connect(a.eject, &QAction::triggered, this, &CDPlayer::eject_Click);
    connect(a.restore, &QAction::triggered, this, &CDPlayer::restoreFromTray);
    connect(a.minimise, &QAction::triggered, this, &CDPlayer::minimiseOutOfSight);
    connect(a.exit, &QAction::triggered, this, &CDPlayer::close);
    const std::pair<SkinLabel*, QAction*> triggers[] = {
        {play, a.play},           {pause, a.pause},       {stopbtn, a.stop},
        {btrack, a.previous},     {ftrack, a.next},       {eject, a.eject},
        {picBarplay, a.play},     {picBarpause, a.pause}, {picBarstop, a.stop},
        {picBarprev, a.previous}, {picBarnext, a.next}};
    for (const auto& [button, action] : triggers) {
        connect(button, &SkinLabel::clicked, action, &QAction::trigger);
    }
    for (SkinLabel* button : {ff, picBarff}) {
        connect(button, &SkinLabel::clicked, this, &CDPlayer::ff_Click);
    }
    for (SkinLabel* button : {rew, picBarrew}) {
        connect(button, &SkinLabel::clicked, this, &CDPlayer::rew_Click);
    }

    for (int i = 0; i < 10; ++i) {
        connect(N[std::size_t(i)], &SkinLabel::mouseDown, this,
                [this, i] { m_player.pressTrackNumber(i); });
        connect(N[std::size_t(i)], &SkinLabel::clicked, this,
                [this, i] { m_player.clickTrackNumber(i); });
    }
    connect(LV, &QTreeWidget::itemDoubleClicked, this, [this] { m_player.playSelectedRow(); });
    connect(LV, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = LV->selectedItems();
        m_player.display().noteSelectedRow(
            selected.isEmpty() ? 0 : LV->indexOfTopLevelItem(selected.front()) + 1);
    });
    for (int i = 11; i <= 30; ++i) {
        connect(MT[std::size_t(i)], &QAction::triggered, this, [this, i] { MT_Click(i); });
    }
    connect(M, &SkinLabel::mouseUp, this, &CDPlayer::M_MouseUp);

    // These buttons have no pressed picture: a border makes them look pressed in.
    for (SkinLabel* button : {picBar, picExpand, Picture6, Picture7, Picture8}) {
        connect(button, &SkinLabel::mouseDown, this, [button] { button->setBorderStyle(1); });
        connect(button, &SkinLabel::mouseUp, this, [button] { button->setBorderStyle(0); });
    }
    connect(picBar, &SkinLabel::clicked, this, &CDPlayer::toggleBarLayout);
    connect(picExpand, &SkinLabel::clicked, this, &CDPlayer::toggleTrackList);
    connect(Picture6, &SkinLabel::clicked, this, &CDPlayer::hideToTray);
    connect(Picture7, &SkinLabel::clicked, this, &CDPlayer::close);
    connect(Command1, &SkinLabel::mouseUp, this, [this] { mnuPop->popup(QCursor::pos()); });
}

void CDPlayer::connectLetters() {
    connect(timeWindow, &SkinLabel::clicked, this, &CDPlayer::timeWindow_Click);
    connect(BarTime, &SkinLabel::clicked, this, &CDPlayer::BarTime_Click);
    connect(lContinue, &SkinLabel::clicked, this, &CDPlayer::lContinue_Click);
    connect(lAlwaysTop, &SkinLabel::clicked, this, &CDPlayer::lAlwaysTop_Click);
}

void CDPlayer::M_MouseUp() {
    const int count = m_player.state().trackCount;
    if (count < 11) {
        return;
    }
    for (int i = 11; i <= std::min(count, 30); ++i) {
        MT[std::size_t(i)]->setText(QString::number(i));
        MT[std::size_t(i)]->setVisible(true);
    }
    mnuMore->popup(QCursor::pos());
}

void CDPlayer::MT_Click(int track) {
    QCoreApplication::processEvents();
    if (m_unloaded) {
        return;  // the window closed meanwhile: the device is no longer ours
    }
    m_player.playTrack(track);
}

void CDPlayer::timeWindow_Click() {
    if (const auto tooltip = m_player.cycleTimeMode()) {
        timeWindow->setToolTip(QString::fromStdString(*tooltip));
    }
}

void CDPlayer::BarTime_Click() {
    timeWindow_Click();
    m_player.copyTimeToBar();
}

// ---- what the player reports ----

void CDPlayer::listenToPlayer() {
    Player& p = m_player;
    connect(&p, &Player::closeRequested, this, &CDPlayer::close);
    connect(&p, &Player::raiseRequested, this, &CDPlayer::restoreFromTray);
    connect(&p, &Player::volumeChanged, this,
            [this](std::int32_t, double percent) { IndicateVol(percent); });
    connect(&p, &Player::continuousPlayChanged, this,
            [this](bool on) { setTextColour(lContinue, on ? kOptionOn : kOptionOff); });
    connect(&p, &Player::alwaysOnTopChanged, this, &CDPlayer::showAlwaysOnTop);
    connect(&p, &Player::coverDue, this, [this](const std::string& path) {
        if (PicCover->isVisibleTo(this)) {
            LoadImage(path);
        }
    });
    connect(&p, &Player::discReset, this, [this] {
        for (int i = 12; i <= 30; ++i) {
            MT[std::size_t(i)]->setVisible(false);
        }
        clearCover();
    });
}

void CDPlayer::listenToDisplay() {
    PlayerDisplay& d = m_player.display();
    connect(&d, &PlayerDisplay::transportEnabledChanged, this, &CDPlayer::setTransportEnabled);
    connect(&d, &PlayerDisplay::indicatorChanged, this, [this](Indicator which, bool shown) {
        SkinLabel* const pictures[] = {picStop, picPause, PicPlay};
        pictures[static_cast<int>(which)]->setVisible(shown);
    });
    connect(&d, &PlayerDisplay::progressShownChanged, this, &CDPlayer::showLayoutDependentControls);
    connect(&d, &PlayerDisplay::moreShownChanged, this, &CDPlayer::showLayoutDependentControls);
    connect(&d, &PlayerDisplay::progressPercentChanged, this, &CDPlayer::setProgressWidth);
    connect(&d, &PlayerDisplay::statusTextChanged, this, &CDPlayer::showStatus);
    connect(&d, &PlayerDisplay::captionChanged, this, &CDPlayer::showCaption);
    connect(&d, &PlayerDisplay::trackFieldChanged, this, &CDPlayer::showTrackField);
    connect(&d, &PlayerDisplay::trackNumberColourChanged, this,
            [this](int index, WinColour colour) { setTextColour(N[std::size_t(index)], colour); });
    connect(&d, &PlayerDisplay::ejectCaptionChanged, this, [this](const std::string& caption) {
        m_actions->eject->setText(QString::fromStdString(caption));
    });
    connect(&d, &PlayerDisplay::starsChanged, this, &CDPlayer::ShowStar);
    connect(&d, &PlayerDisplay::selectedRowChanged, this, &CDPlayer::selectTrackRow);
}

void CDPlayer::listenToTrackList() {
    const TrackList& tracks = m_player.trackList();
    connect(&tracks, &TrackList::rowsReplaced, this, &CDPlayer::fillTrackList);
    connect(&tracks, &TrackList::rowChanged, this, [this, &tracks](int row) {
        if (const TrackRow* changed = tracks.row(row); changed && row <= LV->topLevelItemCount()) {
            LV->topLevelItem(row - 1)->setText(6, QString::fromStdString(changed->rating));
        }
    });
}

// Everything the display holds, drawn once, so a window made at any time shows the player
// as it stands.
void CDPlayer::showDisplay() {
    const PlayerDisplay& d = m_player.display();
    setTransportEnabled(d.transportEnabled());
    picStop->setVisible(d.indicatorShown(Indicator::Stop));
    picPause->setVisible(d.indicatorShown(Indicator::Pause));
    PicPlay->setVisible(d.indicatorShown(Indicator::Play));
    setProgressWidth(d.progressPercent());
    showStatus(d.statusText(), d.statusTip());
    for (Caption caption :
         {Caption::TimeWindow, Caption::BarTime, Caption::Track, Caption::BarTrack,
          Caption::TotalTime, Caption::BarTotal, Caption::TrackCount}) {
        showCaption(caption, d.caption(caption));
    }
    for (TrackField field : {TrackField::Title, TrackField::Artist, TrackField::Album}) {
        showTrackField(field, d.trackField(field));
    }
    for (int i = 0; i < 10; ++i) {
        setTextColour(N[std::size_t(i)], d.trackNumberColour(i));
    }
    m_actions->eject->setText(QString::fromStdString(d.ejectCaption()));
    ShowStar(d.stars());
    fillTrackList();
    showLayoutDependentControls();
}

void CDPlayer::showCaption(Caption caption, const std::string& text) {
    SkinLabel* const labels[] = {timeWindow, BarTime, lTrack, Bartrack, ltTime, BarTotal, lCount};
    labels[static_cast<int>(caption)]->setText(QString::fromStdString(text));
}

void CDPlayer::showTrackField(TrackField field, const std::string& text) {
    QLineEdit* const fields[] = {lTitle, lArt, lAlb};
    QLineEdit* target = fields[static_cast<int>(field)];
    target->setText(QString::fromStdString(text));
    target->setCursorPosition(0);
}

void CDPlayer::setTransportEnabled(bool enabled) {
    m_actions->setTransportEnabled(enabled);
    for (QWidget* control : std::initializer_list<QWidget*>{
             play, pause, ff, rew, ftrack, btrack, stopbtn, picBarprev, picBarrew, picBarplay,
             picBarstop, picBarpause, picBarff, picBarnext}) {
        control->setEnabled(enabled);
    }
}

void CDPlayer::showLayoutDependentControls() {
    const PlayerDisplay& d = m_player.display();
    const bool bar = m_player.settings().barMode;
    picProg->setVisible(d.progressShown() && !bar);
    M->setVisible(d.moreShown() && !bar);
}

void CDPlayer::setProgressWidth(int percent) {
    // The bars are 100 units wide: a width in units is a percentage.
    picFill->setGeometry(0, picProg->height() / 4, picProg->width() * percent / 100,
                         std::max(1, picProg->height() / 2));
    picBarFill->setGeometry(0, 0, picBarProg->width() * percent / 100, picBarProg->height());
}

void CDPlayer::showStatus(const std::string& text, const std::string& tip) {
    Info->setText(QString::fromStdString(text));
    Info->setToolTip(QString::fromStdString(tip));
    if (Info->isVisible()) {
        Info->repaint();  // seen at once, before a slow command such as closing the door
    }
}

void CDPlayer::fillTrackList() {
    LV->clear();
    const QIcon icon(m_slots["ImageList1"]);
    for (const TrackRow& row : m_player.trackList().rows()) {
        auto* item = new QTreeWidgetItem(LV);
        const std::string* cells[] = {&row.number, &row.length,   &row.title, &row.artist,
                                      &row.album,  &row.orderKey, &row.rating};
        for (int column = 0; column < 7; ++column) {
            item->setText(column, QString::fromStdString(*cells[column]));
        }
        item->setIcon(0, icon);
    }
    if (LV->topLevelItemCount() > 0) {
        AutoSize();
    }
}

void CDPlayer::selectTrackRow(int row) {
    if (row < 1 || row > LV->topLevelItemCount()) {
        return;
    }
    QTreeWidgetItem* item = LV->topLevelItem(row - 1);
    if (!item->isSelected()) {
        LV->setCurrentItem(item);
        item->setSelected(true);
        LV->scrollToItem(item);
        LV->viewport()->update();
    }
}

void CDPlayer::AutoSize() {
    for (int column = 0; column < 4; ++column) {
        LV->resizeColumnToContents(column);
    }
}

void CDPlayer::showAlwaysOnTop(bool on) {
    setTextColour(lAlwaysTop, on ? kOptionOn : kOptionOff);
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow* handle = windowHandle()) {
        // Changing the widget's flags would hide it and make a new native window; the
        // stacking hint alone changes in place.
        overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
}

// ---- window events ----

void CDPlayer::closeEvent(QCloseEvent* event) {
    if (m_player.busy()) {
        // Closed from inside a poll or lookup: the player asks again once it has finished.
        m_player.requestClose();
        event->ignore();
        return;
    }
    if (!m_loaded) {
        m_closeWhenLoaded = true;  // start-up finishes first, then the window closes
        event->ignore();
        return;
    }
    // Closing the window by any way ends the program, tray icon or not.
    Form_Unload();
    event->accept();
    QCoreApplication::quit();
}

void CDPlayer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The window is a little taller than its background picture in the expanded and bar
    // layouts; the strip below the picture takes the window's own colour.
    painter.fillRect(rect(), toQColor(kWindowBackColour));
    painter.drawPixmap(0, 0, m_slots[m_player.settings().barMode ? "BarMode" : "picNormal"]);
}

void CDPlayer::mousePressEvent(QMouseEvent* event) {
    m_mover->press(*event);
}

void CDPlayer::mouseReleaseEvent(QMouseEvent*) {
    m_mover->release();
}

void CDPlayer::mouseMoveEvent(QMouseEvent* event) {
    if (m_mover->move(*event)) {
        return;  // the window is being dragged, not hovered
    }
    RestoreNormalSkin();
    const TrackList& tracks = m_player.trackList();
    const int current = m_player.state().currentTrack;
    if (event->buttons() == Qt::NoButton && m_player.settings().barMode && !tracks.empty()) {
        if (const TrackRow* row = tracks.row(current)) {
            const QString tip = QString::fromStdString("Track " + twoDigits(current) + " - " +
                                                       row->artist + " - " + row->title);
            for (SkinLabel* label : {Bartrack, BarTotal, BarTime}) {
                label->setToolTip(tip);
            }
        }
    }
    m_mover->snapToScreenEdges();
}

void CDPlayer::mouseDoubleClickEvent(QMouseEvent*) {
    toggleBarLayout();
}

bool CDPlayer::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (field == lTitle || field == lArt || field == lAlb)) {
        if (event->type() == QEvent::MouseMove && !field->text().isEmpty()) {
            field->setToolTip(field->text());
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // A click on a track field hands the keyboard to the stop button.
            stopbtn->setFocus();
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace sonarch
