#include "ui/cd_player.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include "device/time_text.h"
#include "playback/time_display.h"
#include "ui/placement.h"
#include "ui/skin_label.h"

namespace sonarch {

namespace {

QColor toQColor(WinColour colour) {
    return QColor(int(colour & 0xff), int((colour >> 8) & 0xff), int((colour >> 16) & 0xff));
}

void setTextColour(QWidget* widget, WinColour colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, toQColor(colour));
    palette.setColor(QPalette::Text, toQColor(colour));
    widget->setPalette(palette);
}

QFont pixelFont(int pixels, bool bold = false, const QString& family = "DejaVu Sans") {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

const QColor kFieldText(170, 215, 255);
const QColor kListBackground(6, 12, 38);

}  // namespace

CDPlayer::CDPlayer(PlayerServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_services(std::move(services)),
      m_device(m_services.device, m_services.messages, m_state.deviceError),
      m_transport(m_state, m_device, *this, [this] { PollStatus(); }),
      m_seeking(m_state, m_device, [this] { PollStatus(); }),
      m_poll(m_state, m_device, *this, m_transport) {
    setObjectName("CDPlayer");
    setWindowTitle("Sonarch CD Player");
    setWindowIcon(QIcon(m_slots["icon"]));
    setFixedWidth(toPixels(kWindowWidthTwips));
    setHeightTwips(kNormalHeightTwips);
    setMouseTracking(true);
    createControls();
    createMenus();
    connectControls();
    connectSeeking();
    connectVolume();
    connectLibrary();
    setTransportEnabled(false);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &CDPlayer::Timer1_Timer);
}

CDPlayer::~CDPlayer() {
    Form_Unload();
}

SkinLabel* CDPlayer::makeLabel(const QString& name, const QString& caption,
                               const QString& tooltip) {
    auto* label = new SkinLabel(name, this);
    label->setText(caption);
    label->setToolTip(tooltip);
    place(label);
    return label;
}

SkinLabel* CDPlayer::makePicture(const QString& name, const QString& slot, const QString& tooltip) {
    auto* picture = makeLabel(name, {}, tooltip);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!slot.isEmpty()) {
        picture->setPixmap(m_slots[slot]);
    }
    return picture;
}

void CDPlayer::place(QWidget* control) {
    if (const auto rect = designedPlace(control->objectName().toStdString())) {
        control->setGeometry(toPixelRect(*rect));
    }
}

void CDPlayer::setHeightTwips(int twips) {
    setFixedHeight(toPixels(twips));
}

void CDPlayer::createControls() {
    btrack = makePicture("btrack", "p1", "Previous track");
    play = makePicture("play", "p2", "Play");
    pause = makePicture("pause", "p3", "Pause");
    stopbtn = makePicture("stopbtn", "p4", "Stop");
    ftrack = makePicture("ftrack", "p5", "Next track");
    eject = makePicture("eject", "p6", "Eject");
    rew = makePicture("rew", "p7", "Rewind");
    ff = makePicture("ff", "p8", "Fast forward");
    stopbtn->setFocusPolicy(Qt::StrongFocus);

    up = makePicture("up", "un", "Increase volume");
    down = makePicture("down", "dn", "Decrease volume");
    picVol = makePicture("picVol", "picVolNormal", "CD audio volume");
    picVolfill = new SkinLabel("picVolfill", picVol);
    picVolfill->setStyleSheet(
        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #40f0ff, stop:1 #1060c0);");
    picVolfill->setAttribute(Qt::WA_TransparentForMouseEvents);

    picProg = makePicture("picProg", "sBarNormal");
    picFill = new SkinLabel("picFill", picProg);
    picFill->setStyleSheet("background: #30d8ff;");
    picFill->setAttribute(Qt::WA_TransparentForMouseEvents);
    picFill->setGeometry(0, 1, 0, 2);
    picBarProg = makePicture("picBarProg");
    picBarProg->setStyleSheet("background: #040a1c;");
    picBarFill = new SkinLabel("picBarFill", picBarProg);
    picBarFill->setStyleSheet("background: #30d8ff;");
    picBarFill->setGeometry(0, 0, 0, 1);

    picBar = makePicture("picBar", "picbarNorm");
    picExpand = makePicture("picExpand", "picex", "Show or hide track list");
    Picture1 = makePicture("Picture1", "Picture1", "Enter or edit track comment here");
    Picture2 = makePicture("Picture2", "Picture2", "Enter or edit album comment here");
    Picture3 = makePicture("Picture3", "Picture3");
    Picture4 = makePicture("Picture4", "Picture4", "Click to refresh datatbase");
    Picture6 = makePicture("Picture6", "Picture6", "Minimize window");
    Picture7 = makePicture("Picture7", "Picture7", "Close window");
    Picture8 = makePicture("Picture8", "picex", "Show or hide cover");
    Command1 = makePicture("Command1", "Command1", "Click to show menu");

    picStop = makePicture("picStop", "picStop");
    picPause = makePicture("picPause", "picPause");
    PicPlay = makePicture("PicPlay", "PicPlay");
    picPause->hide();
    PicPlay->hide();
    picLogo = makePicture("picLogo");
    imgLogo = new SkinLabel("imgLogo", picLogo);
    imgLogo->setScaledContents(true);

    const std::pair<SkinLabel**, const char*> barButtons[] = {
        {&picBarprev, "picBarprev"},   {&picBarrew, "picBarrew"},   {&picBarplay, "picBarplay"},
        {&picBarpause, "picBarpause"}, {&picBarstop, "picBarstop"}, {&picBarff, "picBarff"},
        {&picBarnext, "picBarnext"}};
    for (const auto& [member, name] : barButtons) {
        *member = makePicture(name, name);
        (*member)->hide();
    }
    picBarProg->hide();

    const QFont letterFont = pixelFont(10, true);
    lOption = makeLabel("lOption", "O", "Options");
    lAlwaysTop = makeLabel("lAlwaysTop", "P", "Toggle always ontop on and off");
    lContinue = makeLabel("lContinue", "C", "Continuous play");
    lRandom = makeLabel("lRandom", "R", "Set current track rating");
    lIntroPlay = makeLabel("lIntroPlay", "I");
    for (SkinLabel* letter : {lOption, lAlwaysTop, lContinue, lRandom, lIntroPlay}) {
        letter->setFont(letterFont);
        letter->setAlignment(Qt::AlignCenter);
        setOptionColour(letter, kOptionOff);
    }

    Info = makeLabel("Info");
    Info->setFont(pixelFont(9));
    setTextColour(Info, 0xFFE0A0);
    for (int i = 0; i < 10; ++i) {
        N[std::size_t(i)] = makeLabel(QString("N%1").arg(i), QString::number(i + 1));
        N[std::size_t(i)]->setFont(pixelFont(8, true));
        N[std::size_t(i)]->setAlignment(Qt::AlignCenter);
        setTextColour(N[std::size_t(i)], kNoTrack);
    }
    M = makeLabel("M", ">>", "More");
    M->setFont(pixelFont(8, true));
    setTextColour(M, kOtherTrack);
    M->hide();
    timeWindow = makeLabel("timeWindow", {}, "Click to change time display");
    timeWindow->setFont(pixelFont(15, true, "DejaVu Sans Mono"));
    timeWindow->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColour(timeWindow, 0xFFFF00);
    lTrack = makeLabel("lTrack");
    lTrack->setFont(pixelFont(8));
    ltTime = makeLabel("ltTime");
    lCount = makeLabel("lCount");
    for (SkinLabel* label : {lTrack, ltTime, lCount}) {
        setTextColour(label, 0xFFD070);
        if (label != lTrack) {
            label->setFont(pixelFont(8));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    BarTotal = makeLabel("BarTotal");
    Bartrack = makeLabel("Bartrack");
    BarTime = makeLabel("BarTime");
    for (SkinLabel* label : {BarTotal, Bartrack, BarTime}) {
        QFont font("Small Fonts");
        font.setPointSize(6);
        font.setBold(label == BarTime);
        label->setFont(font);
        setTextColour(label, 0x00FFFF);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, toQColor(0x800000));
        label->setPalette(palette);
        label->setAutoFillBackground(true);
        label->hide();
    }

    for (int k = 0; k < 5; ++k) {
        t[std::size_t(k)] = makeLabel(QString("t%1").arg(k + 1));
        t[std::size_t(k)]->setGeometry(toPixels(990 + 135 * k), toPixels(285), toPixels(120),
                                       toPixels(120));
    }

    auto makeField = [this](const QString& name) {
        auto* field = new QLineEdit(this);
        field->setObjectName(name);
        field->setReadOnly(true);
        field->setFrame(false);
        field->setFocusPolicy(Qt::ClickFocus);
        field->setFont(pixelFont(10));
        field->setStyleSheet("QLineEdit { background: transparent; color: #aad7ff; }");
        field->setMouseTracking(true);
        field->installEventFilter(this);
        place(field);
        return field;
    };
    lArt = makeField("lArt");
    lAlb = makeField("lAlb");
    lTitle = makeField("lTitle");
    lTitle->setFont(pixelFont(10, true));

    LV = new QTreeWidget(this);
    LV->setObjectName("LV");
    LV->setColumnCount(7);
    LV->setHeaderHidden(true);
    LV->setRootIsDecorated(false);
    LV->setIndentation(0);
    LV->setSelectionMode(QAbstractItemView::SingleSelection);
    LV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV->setIconSize(QSize(16, 16));
    LV->setFont(pixelFont(10));
    LV->setStyleSheet(
        "QTreeWidget { background: #060c26; color: #aad7ff; border: 1px solid #3a56aa; }"
        "QTreeWidget::item:selected { background: #1d3a8c; color: #00ffff; }"
        "QScrollBar { background: #0a1440; width: 10px; height: 10px; }"
        "QScrollBar::handle { background: #3a56aa; border-radius: 3px; min-height: 16px;"
        " min-width: 16px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }");
    const int widths[] = {1440, 1440, 800, 1440, 0, 0, 0};
    for (int column = 0; column < 7; ++column) {
        LV->setColumnWidth(column, toPixels(widths[column]));
        LV->setColumnHidden(column, widths[column] == 0);
    }
    place(LV);

    PicCover = makePicture("PicCover");
    PicCover->setStyleSheet("background: #060c26; border: 1px solid #3a56aa;");
    imgCover = new SkinLabel("imgCover", PicCover);
    imgCover->setScaledContents(true);
    imgCover->setGeometry(toPixels(90), toPixels(90), toPixels(1185), toPixels(510));
    PicCover->hide();
}

void CDPlayer::createMenus() {
    mnuPop = new QMenu("Pop", this);
    mnuPop->setObjectName("mnuPop");
    auto item = [this](QMenu* menu, const QString& name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    mnuAbout = item(mnuPop, "mnuAbout", "About");
    mnuPop->addSeparator()->setObjectName("s3");
    mnuPlay = item(mnuPop, "mnuPlay", "Play");
    mnuPause = item(mnuPop, "mnuPause", "Pause");
    mnuStop = item(mnuPop, "mnuStop", "Stop");
    mnuPrev = item(mnuPop, "mnuPrev", "Previous");
    mnuNext = item(mnuPop, "mnuNext", "Next");
    mnuEject = item(mnuPop, "mnuEject", "Eject");
    mnuPop->addSeparator()->setObjectName("s1");
    mnuRestore = item(mnuPop, "mnuRestore", "Restore");
    mnuMin = item(mnuPop, "mnuMin", "Minimize");
    mnuPop->addSeparator()->setObjectName("s4");
    mnuOption = item(mnuPop, "mnuOption", "Options");
    mnuPop->addSeparator()->setObjectName("s2");
    mnuExit = item(mnuPop, "mnuExit", "Exit");

    mnuRate = new QMenu("Rating", this);
    mnuRate->setObjectName("mnuRate");
    for (int rating = 10; rating >= 1; --rating) {
        item(mnuRate, QString("r%1").arg(rating), QString::number(rating));
    }

    mnuMore = new QMenu("More", this);
    mnuMore->setObjectName("mnuMore");
    for (int i = 11; i <= 30; ++i) {
        MT[std::size_t(i)] = item(mnuMore, QString("MT%1").arg(i), QString());
        MT[std::size_t(i)]->setVisible(i == 11);
    }
}

void CDPlayer::connectControls() {
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
    connect(play, &SkinLabel::clicked, this, [this] { m_transport.play_Click(); });
    connect(pause, &SkinLabel::clicked, this, [this] { m_transport.pause_Click(); });
    connect(stopbtn, &SkinLabel::clicked, this, [this] { m_transport.stopbtn_Click(); });
    connect(btrack, &SkinLabel::clicked, this, [this] { m_transport.btrack_Click(); });
    connect(ftrack, &SkinLabel::clicked, this, [this] { m_transport.ftrack_Click(); });
    connect(eject, &SkinLabel::clicked, this, [this] { m_transport.eject_Click(); });
    connect(picBarplay, &SkinLabel::clicked, this, [this] { m_transport.play_Click(); });
    connect(picBarpause, &SkinLabel::clicked, this, [this] { m_transport.pause_Click(); });
    connect(picBarstop, &SkinLabel::clicked, this, [this] { m_transport.stopbtn_Click(); });
    connect(picBarprev, &SkinLabel::clicked, this, [this] { m_transport.btrack_Click(); });
    connect(picBarnext, &SkinLabel::clicked, this, [this] { m_transport.ftrack_Click(); });
    connect(mnuPlay, &QAction::triggered, this, [this] { m_transport.play_Click(); });
    connect(mnuPause, &QAction::triggered, this, [this] { m_transport.pause_Click(); });
    connect(mnuStop, &QAction::triggered, this, [this] { m_transport.stopbtn_Click(); });
    connect(mnuPrev, &QAction::triggered, this, [this] { m_transport.btrack_Click(); });
    connect(mnuNext, &QAction::triggered, this, [this] { m_transport.ftrack_Click(); });
    connect(mnuEject, &QAction::triggered, this, [this] { m_transport.eject_Click(); });

    for (int i = 0; i < 10; ++i) {
        SkinLabel* label = N[std::size_t(i)];
        connect(label, &SkinLabel::mouseDown, this, [this, i, label] {
            if (m_transport.N_MouseDown(i)) {
                setTextColour(label, kPressedTrack);
            }
        });
        connect(label, &SkinLabel::clicked, this, [this, i] { m_transport.N_Click(i); });
    }
    connect(LV, &QTreeWidget::itemDoubleClicked, this, [this] { m_transport.LV_DblClick(); });
    for (int i = 11; i <= 30; ++i) {
        connect(MT[std::size_t(i)], &QAction::triggered, this, [this, i] {
            letEventsRun();
            if (m_unloaded) {
                return;  // the window closed meanwhile: the device is no longer ours
            }
            m_transport.PlayTrack(i);
        });
    }
    connect(M, &SkinLabel::mouseUp, this, [this] {
        if (m_state.trackCount < 11) {
            return;
        }
        for (int i = 11; i <= std::min<int>(m_state.trackCount, 30); ++i) {
            MT[std::size_t(i)]->setText(QString::number(i));
            MT[std::size_t(i)]->setVisible(true);
        }
        mnuMore->popup(QCursor::pos());
    });

    connect(timeWindow, &SkinLabel::clicked, this, &CDPlayer::timeWindow_Click);
    connect(BarTime, &SkinLabel::clicked, this, [this] {
        timeWindow_Click();
        BarTime->setText(timeWindow->text());
    });
    connect(lContinue, &SkinLabel::clicked, this, [this] {
        m_state.settings.continuousPlay = !m_state.settings.continuousPlay;
        setOptionColour(lContinue, m_state.settings.continuousPlay ? kOptionOn : kOptionOff);
    });
    connect(lAlwaysTop, &SkinLabel::clicked, this, [this] {
        m_state.settings.alwaysOnTop = !m_state.settings.alwaysOnTop;
        setOptionColour(lAlwaysTop, m_state.settings.alwaysOnTop ? kOptionOn : kOptionOff);
        const bool visible = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, m_state.settings.alwaysOnTop);
        if (visible) {
            show();
        }
    });

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
    connect(mnuRestore, &QAction::triggered, this, &CDPlayer::restoreFromTray);
    connect(mnuMin, &QAction::triggered, this, [this] {
        showMinimized();
        hide();
    });
    connect(mnuExit, &QAction::triggered, this, &CDPlayer::close);
}

void CDPlayer::PollStatus() {
    m_poll.PollStatus();
    if (m_noticeRuns > 0) {
        --m_noticeRuns;
    }
    closeIfPending();
}

void CDPlayer::closeIfPending() {
    if (m_closePending && !m_poll.busy()) {
        m_closePending = false;
        close();
    }
}

void CDPlayer::Timer1_Timer() {
    PollStatus();
    emit polled();
}

void CDPlayer::timeWindow_Click() {
    if (const auto tooltip = cycleTimeMode(m_state.settings)) {
        timeWindow->setToolTip(QString::fromStdString(*tooltip));
    }
}

void CDPlayer::setOptionColour(SkinLabel* label, WinColour colour) {
    setTextColour(label, colour);
}

// ---- PlayerView ----

void CDPlayer::setTransportEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             play, pause, ff, rew, ftrack, btrack, stopbtn, picBarprev, picBarrew, picBarplay,
             picBarstop, picBarpause, picBarff, picBarnext}) {
        control->setEnabled(enabled);
    }
    for (QAction* item : {mnuPlay, mnuPause, mnuNext, mnuPrev, mnuStop}) {
        item->setEnabled(enabled);
    }
}

void CDPlayer::setEjectEnabled(bool enabled) {
    eject->setEnabled(enabled);
}

void CDPlayer::setIndicatorVisible(Indicator indicator, bool visible) {
    SkinLabel* const pictures[] = {picStop, picPause, PicPlay};
    pictures[static_cast<int>(indicator)]->setVisible(visible);
}

void CDPlayer::setProgressVisible(bool visible) {
    picProg->setVisible(visible && !m_state.settings.barMode);
}

void CDPlayer::setProgressWidth(int percent) {
    // The bars are 100 units wide: a width in units is a percentage.
    picFill->setGeometry(0, picProg->height() / 4, picProg->width() * percent / 100,
                         std::max(1, picProg->height() / 2));
    picBarFill->setGeometry(0, 0, picBarProg->width() * percent / 100, picBarProg->height());
    picFill->update();
}

void CDPlayer::setStatusText(const std::string& text) {
    // A library notice holds the status line against the playing state's texts for a few
    // runs; any other status (eject, no disc) replaces it at once.
    static const std::string kPlayStates[] = {"Playing . . .", "Paused . . .", "Stopped . . .",
                                              "Ready . . ."};
    const bool playState =
        std::find(std::begin(kPlayStates), std::end(kPlayStates), text) != std::end(kPlayStates);
    if (m_noticeRuns > 0 && playState) {
        return;
    }
    m_noticeRuns = 0;
    Info->setText(QString::fromStdString(text));
    Info->setToolTip(QString());
}

void CDPlayer::setCaption(Caption caption, const std::string& text) {
    SkinLabel* const labels[] = {timeWindow, BarTime, lTrack, Bartrack, ltTime, BarTotal, lCount};
    labels[static_cast<int>(caption)]->setText(QString::fromStdString(text));
}

void CDPlayer::setTrackField(TrackField field, const std::string& text) {
    QLineEdit* const fields[] = {lTitle, lArt, lAlb};
    QLineEdit* target = fields[static_cast<int>(field)];
    target->setText(QString::fromStdString(text));
    target->setCursorPosition(0);
}

void CDPlayer::setTrackNumberColour(int index, WinColour colour) {
    if (index >= 0 && index < 10) {
        setTextColour(N[std::size_t(index)], colour);
    }
}

void CDPlayer::setMoreVisible(bool visible) {
    M->setVisible(visible && !m_state.settings.barMode);
}

void CDPlayer::hideMoreTrackItems() {
    for (int i = 12; i <= 30; ++i) {
        MT[std::size_t(i)]->setVisible(false);
    }
}

void CDPlayer::setEjectCaption(const std::string& caption) {
    mnuEject->setText(QString::fromStdString(caption));
}

void CDPlayer::repaintStatusNow() {
    Info->repaint();
}

int CDPlayer::trackRowCount() const {
    return LV->topLevelItemCount();
}

std::optional<TrackRow> CDPlayer::trackRow(int row) const {
    if (row < 1 || row > LV->topLevelItemCount()) {
        return std::nullopt;
    }
    const QTreeWidgetItem* item = LV->topLevelItem(row - 1);
    auto cell = [item](int column) { return item->text(column).toStdString(); };
    return TrackRow{cell(0), cell(1), cell(2), cell(3), cell(4), cell(5), cell(6)};
}

void CDPlayer::addTrackRow(const TrackRow& row) {
    auto* item = new QTreeWidgetItem(LV);
    const std::string* cells[] = {&row.number, &row.length,   &row.title, &row.artist,
                                  &row.album,  &row.orderKey, &row.rating};
    for (int column = 0; column < 7; ++column) {
        item->setText(column, QString::fromStdString(*cells[column]));
    }
    item->setIcon(0, QIcon(m_slots["ImageList1"]));
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

std::optional<int> CDPlayer::selectedTrackRow() const {
    const QList<QTreeWidgetItem*> selected = LV->selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return LV->indexOfTopLevelItem(selected.front()) + 1;
}

void CDPlayer::clearTrackRows() {
    LV->clear();
}

void CDPlayer::AutoSize() {
    for (int column = 0; column < 4; ++column) {
        LV->resizeColumnToContents(column);
    }
}

bool CDPlayer::coverPanelVisible() const {
    return PicCover->isVisibleTo(this);
}

void CDPlayer::letEventsRun() {
    QCoreApplication::processEvents();
}

// ---- window events ----

void CDPlayer::closeEvent(QCloseEvent* event) {
    if (m_poll.busy()) {
        // A poll or lookup let events run and one of them closes the window: shut down once
        // it has finished, so it cannot reopen the device or restart playback afterwards.
        m_closePending = true;
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
    painter.drawPixmap(0, 0, m_slots[m_state.settings.barMode ? "BarMode" : "picNormal"]);
}

void CDPlayer::mousePressEvent(QMouseEvent*) {
    if (QWindow* window = windowHandle()) {
        window->startSystemMove();
    }
}

void CDPlayer::mouseMoveEvent(QMouseEvent* event) {
    RestoreNormalSkin();
    if (event->buttons() == Qt::NoButton && m_state.settings.barMode && trackRowCount() != 0) {
        if (const auto row = trackRow(m_state.currentTrack)) {
            const QString tip = QString::fromStdString("Track " + twoDigits(m_state.currentTrack) +
                                                       " - " + row->artist + " - " + row->title);
            for (SkinLabel* label : {Bartrack, BarTotal, BarTime}) {
                label->setToolTip(tip);
            }
        }
    }
    SnapToScreenEdges();
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
