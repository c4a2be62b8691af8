#include "ui/cd_player.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QWindow>

#include "core/player.h"
#include "desktop/open_with_shell.h"
#include "desktop/product_info.h"
#include "layout/onto_screens.h"
#include "model/settings.h"
#include "model/track_list.h"
#include "ui/cover_panel.h"
#include "ui/dialogs/about_box.h"
#include "ui/disc_drop.h"
#include "ui/open_disc_menu.h"
#include "ui/placement.h"
#include "ui/player_actions.h"
#include "ui/progress_bar.h"
#include "ui/scrolling_status.h"
#include "ui/side_windows.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"
#include "ui/star_rating.h"
#include "ui/track_list_view.h"
#include "ui/track_numbers.h"
#include "ui/track_text_field.h"
#include "ui/tray_icon.h"
#include "ui/volume_bar.h"
#include "ui/window_mover.h"

namespace sonarch {

namespace {

constexpr int kShowNormal = 10;

// The transport buttons with their number in the skin's slots: "p2" and, pressed, "p2a".
constexpr std::pair<const char*, int> kPressable[] = {{"btrack", 1},  {"play", 2},   {"pause", 3},
                                                      {"stopbtn", 4}, {"ftrack", 5}, {"eject", 6},
                                                      {"rew", 7},     {"ff", 8}};
// The buttons the bar layout shows in its strip, and the pictures it moves there.
constexpr const char* kBarButtons[] = {"picBarprev", "picBarrew", "picBarplay", "picBarpause",
                                       "picBarstop", "picBarff",  "picBarnext"};
constexpr const char* kBarLabels[] = {"BarTime", "Bartrack", "BarTotal"};
constexpr const char* kMovedPictures[] = {"picStop", "picPause", "PicPlay", "picLogo"};
// What a minimised window puts away.
constexpr const char* kMinimisedControls[] = {
    "btrack",   "Command1", "eject",    "ff",       "ftrack",    "lCount",   "lTrack",
    "ltTime",   "pause",    "Picture1", "Picture2", "Picture3",  "Picture4", "Picture6",
    "Picture7", "play",     "rew",      "stopbtn",  "timeWindow"};

void moveToTwips(QWidget* control, const std::optional<TwipRect>& rect) {
    if (rect) {
        control->move(toPixels(rect->left), toPixels(rect->top));
    }
}

}  // namespace

CDPlayer::CDPlayer(PlayerWindowModel& model, WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_model(model),
      m_player(model.player()),
      m_shell(services.shell),
      m_trayAvailable(std::move(services.trayAvailable)),
      m_openLibraryWindow(std::move(services.openLibraryWindow)),
      m_actions(new PlayerActions(this)),
      m_mover(new WindowMover(this)),
      m_side(new SideWindows(this, m_player, std::move(services.registration))),
      m_controls(ControlPart::Window, this, m_slots),
      m_volume(new VolumeBar(this, m_slots, model)),
      m_progress(new ProgressBar(this, m_slots, model)),
      m_stars(new StarRating(this, m_slots, model)),
      m_numbers(new TrackNumbers(this, m_slots, model)) {
    setObjectName("CDPlayer");
    setWindowTitle("Sonarch CD Player");
    setWindowIcon(QIcon(m_slots["icon"]));
    setFixedWidth(toPixels(kWindowWidthTwips));
    setHeightTwips(kNormalHeightTwips);
    setMouseTracking(true);
    control("stopbtn")->setFocusPolicy(Qt::StrongFocus);
    // The play light blinks by changing its picture; it never takes the pointer's events.
    control("PicPlay")->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* logo = new SkinLabel("imgLogo", control("picLogo"));
    logo->setScaledContents(true);
    // Made in this order (artist, album, title); kept in the order of TrackField.
    m_fields[1] = new TrackTextField("lArt", this, control("stopbtn"));
    m_fields[2] = new TrackTextField("lAlb", this, control("stopbtn"));
    m_fields[0] = new TrackTextField("lTitle", this, control("stopbtn"));
    LV = new TrackListView(this, QIcon(m_slots["ImageList1"]), model);
    m_cover = new CoverPanel(this, m_slots);
    m_status = new ScrollingStatus(control("Info"));
    m_open = new OpenDiscMenu(this, m_player, m_actions->openImage, std::move(services.chooseFile),
                              std::move(services.listDrives));
    createMenu();
    connectButtons();
    connectKeys();
    describeControls();
    listenToPlayer();
    listenToDisplay();
    showDisplay();
    placeLogo();
    new DiscDrop(this, [this](const std::string& path) { m_player.openDrive(path); });
}

CDPlayer::~CDPlayer() {
    Form_Unload();
}

void CDPlayer::createMenu() {
    mnuPop = new QMenu("Pop", this);
    mnuPop->setObjectName("mnuPop");
    const PlayerActions& a = *m_actions;
    mnuPop->addAction(a.about);
    mnuPop->addSeparator()->setObjectName("s3");
    mnuPop->addActions({a.play, a.pause, a.stop, a.previous, a.next, a.eject});
    mnuPop->addSeparator()->setObjectName("s1");
    mnuPop->addActions({a.restore, a.minimise});
    mnuPop->addSeparator()->setObjectName("s4");
    mnuPop->addAction(a.options);
    if (m_openLibraryWindow) {
        mnuPop->addActions({a.library, a.addDisc});
    }
    mnuPop->addSeparator()->setObjectName("s2");
    mnuPop->addAction(a.exit);
    // Ours, after the design's items: another disc without a drive argument.
    mnuPop->addSeparator()->setObjectName("s5");
    mnuPop->addAction(a.openImage);
    mnuPop->addMenu(m_open->drivesMenu());
    styleMenu(mnuPop);
}

// ---- start-up and shut-down ----

bool CDPlayer::Form_Load() {
    m_tray = new TrayIcon(windowIcon(), mnuPop, this, m_trayAvailable);
    connect(m_tray, &TrayIcon::restoreRequested, this, &CDPlayer::restoreFromTray);
    connect(m_tray, &TrayIcon::showHideRequested, this, &CDPlayer::showOrHide);
    connect(m_tray, &TrayIcon::playPauseRequested, this, &CDPlayer::playOrPause);
    connect(m_tray, &TrayIcon::volumeStepsRequested, this, [this](int steps) {
        for (; steps > 0; --steps) {
            m_model.volumeUp();
        }
        for (; steps < 0; ++steps) {
            m_model.volumeDown();
        }
    });
    auto showTrack = [this] {
        const TrackSnapshot track = m_player.currentTrack();
        m_tray->showTrack(QString::fromStdString(track.title), QString::fromStdString(track.artist),
                          m_player.playbackStatus() == PlaybackStatus::Playing);
    };
    connect(&m_player, &Player::trackChanged, m_tray, showTrack);
    connect(&m_player, &Player::playbackStatusChanged, m_tray, showTrack);
    const bool running = m_model.startUp(
        screenTwips(this), {width() * kTwipsPerPixel, height() * kTwipsPerPixel}, *this);
    if (running) {
        m_progress->twin()->hide();  // the bar strip's progress waits for the next layout
    }
    return running;
}

void CDPlayer::placeAt(TwipPoint topLeft) {
    move(toPixels(topLeft.left), toPixels(topLeft.top));
}

void CDPlayer::keepOnScreens() {
    const TwipPoint onScreen = PullOntoScreens(toTwipRect(geometry()), screenAreasTwips());
    move(toPixels(onScreen.left), toPixels(onScreen.top));
}

// Shown once placed and laid out (a later change of the stacking flag would hide it
// again); showing it adds the tray icon.
void CDPlayer::showWindow() {
    show();
}

void CDPlayer::Form_Unload() {
    if (m_unloaded || !m_model.started()) {
        return;
    }
    m_unloaded = true;
    m_side->closeDialogs();
    m_model.shutDown({x() * kTwipsPerPixel, y() * kTwipsPerPixel});
    if (m_tray) {
        m_tray->hide();
    }
}

void CDPlayer::placeLogo() {
    SkinLabel* frame = control("picLogo");
    auto* logo = frame->findChild<SkinLabel*>("imgLogo");
    logo->resize(frame->size());
    logo->move(frame->width() / 2 - logo->width() / 2, frame->height() / 2 - logo->height() / 2);
    logo->setPixmap(m_slots["pLogo"]);
}

// ---- the wiring: controls to commands ----

void CDPlayer::connectButtons() {
    // Feedback is a copy of a slot's picture, any mouse button; the skin is never redrawn.
    for (const auto& [name, number] : kPressable) {
        SkinLabel* button = control(name);
        const QString normal = QString("p%1").arg(number);
        connect(button, &SkinLabel::mouseDown, this,
                [this, button, normal] { button->setPixmap(m_slots[normal + "a"]); });
        connect(button, &SkinLabel::mouseUp, this,
                [this, button, normal] { button->setPixmap(m_slots[normal]); });
    }
    const PlayerActions& a = *m_actions;
    Player* player = &m_player;
    connect(a.play, &QAction::triggered, player, &Player::play);
    connect(a.pause, &QAction::triggered, player, &Player::pause);
    connect(a.stop, &QAction::triggered, player, &Player::stop);
    connect(a.previous, &QAction::triggered, player, &Player::previous);
    connect(a.next, &QAction::triggered, player, &Player::next);
    connect(a.eject, &QAction::triggered, player, &Player::eject);
    connect(a.restore, &QAction::triggered, this, &CDPlayer::restoreFromTray);
    connect(a.minimise, &QAction::triggered, this, &CDPlayer::minimiseOutOfSight);
    connect(a.exit, &QAction::triggered, this, &CDPlayer::close);
    connect(a.options, &QAction::triggered, m_side, &SideWindows::openOptions);
    if (m_openLibraryWindow) {
        connect(a.library, &QAction::triggered, this, [this] { m_openLibraryWindow(false, 0, 0); });
        connect(a.addDisc, &QAction::triggered, this, [this] { m_openLibraryWindow(true, 0, 0); });
        // A rating the library could not keep: the user chose to add the disc, rated so.
        connect(player, &Player::addDiscRequested, this,
                [this](int track, int rating) { m_openLibraryWindow(true, track, rating); });
        connect(player, &Player::discInLibraryChanged, this, [this](DiscInLibrary state) {
            m_actions->addDisc->setVisible(state == DiscInLibrary::NotInLibrary);
        });
    }
    connect(a.about, &QAction::triggered, m_side, &SideWindows::openAbout);
    const std::pair<const char*, QAction*> triggers[] = {
        {"play", a.play},           {"pause", a.pause},       {"stopbtn", a.stop},
        {"btrack", a.previous},     {"ftrack", a.next},       {"eject", a.eject},
        {"picBarplay", a.play},     {"picBarpause", a.pause}, {"picBarstop", a.stop},
        {"picBarprev", a.previous}, {"picBarnext", a.next}};
    for (const auto& [name, action] : triggers) {
        connect(control(name), &SkinLabel::clicked, action, &QAction::trigger);
    }
    for (const char* name : {"ff", "picBarff"}) {
        connect(control(name), &SkinLabel::clicked, a.fastForward, &QAction::trigger);
    }
    for (const char* name : {"rew", "picBarrew"}) {
        connect(control(name), &SkinLabel::clicked, a.rewind, &QAction::trigger);
    }

    // These buttons have no pressed picture: a border makes them look pressed in.
    for (const char* name : {"picBar", "picExpand", "Picture6", "Picture7", "Picture8"}) {
        SkinLabel* button = control(name);
        connect(button, &SkinLabel::mouseDown, this, [button] { button->setBorderStyle(1); });
        connect(button, &SkinLabel::mouseUp, this, [button] { button->setBorderStyle(0); });
    }
    connect(control("picBar"), &SkinLabel::clicked, &m_model, &PlayerWindowModel::toggleBarLayout);
    connect(control("picExpand"), &SkinLabel::clicked, &m_model,
            &PlayerWindowModel::toggleTrackList);
    connect(control("Picture8"), &SkinLabel::clicked, &m_model, &PlayerWindowModel::toggleCover);
    connect(control("Picture6"), &SkinLabel::clicked, this, &CDPlayer::hideToTray);
    connect(control("Picture7"), &SkinLabel::clicked, this, &CDPlayer::close);
    connect(control("Command1"), &SkinLabel::mouseUp, this, [this] {
        // Under the pointer, or below the button when it was pressed from the keyboard.
        SkinLabel* button = control("Command1");
        const bool pointed = button->rect().contains(button->mapFromGlobal(QCursor::pos()));
        mnuPop->popup(pointed ? QCursor::pos() : button->mapToGlobal(button->rect().bottomLeft()));
    });
    connect(control("Picture4"), &SkinLabel::clicked, this, &CDPlayer::Picture4_Click);
    connect(control("Picture1"), &SkinLabel::clicked, m_side, &SideWindows::editTrackComment);
    connect(control("Picture2"), &SkinLabel::clicked, m_side, &SideWindows::editAlbumComment);

    connect(control("timeWindow"), &SkinLabel::clicked, this, &CDPlayer::timeWindow_Click);
    connect(control("BarTime"), &SkinLabel::clicked, this, &CDPlayer::BarTime_Click);
    connect(control("lContinue"), &SkinLabel::clicked, player, &Player::toggleContinuousPlay);
    connect(control("lAlwaysTop"), &SkinLabel::clicked, player, &Player::toggleAlwaysOnTop);
    SkinLabel* options = control("lOption");
    connect(options, &SkinLabel::mouseMove, this, [options] { setTextColour(options, kOptionOn); });
    connect(options, &SkinLabel::mouseDown, this, &CDPlayer::lOption_MouseDown);
    connect(options, &SkinLabel::mouseUp, this, [options] { setTextColour(options, kOptionOff); });
    connect(control("picLogo")->findChild<SkinLabel*>("imgLogo"), &SkinLabel::doubleClicked, this,
            &CDPlayer::imgLogo_DblClick);
}

void CDPlayer::connectKeys() {
    const PlayerActions& a = *m_actions;
    a.addKeysTo(this);
    connect(a.rewind, &QAction::triggered, &m_player, &Player::rewind);
    connect(a.fastForward, &QAction::triggered, &m_player, &Player::fastForward);
    connect(a.volumeUp, &QAction::triggered, &m_model, &PlayerWindowModel::volumeUp);
    connect(a.volumeDown, &QAction::triggered, &m_model, &PlayerWindowModel::volumeDown);
    connect(a.playRow, &QAction::triggered, &m_model, &PlayerWindowModel::playSelectedRow);
    for (int i = 0; i < 10; ++i) {
        connect(a.tracks[std::size_t(i)], &QAction::triggered, this,
                [this, i] { m_model.clickTrackNumber(i); });
    }
    m_actions->setPlaying(m_player.playbackStatus() == PlaybackStatus::Playing);
    connect(&m_player, &Player::playbackStatusChanged, m_actions, [this](PlaybackStatus status) {
        m_actions->setPlaying(status == PlaybackStatus::Playing);
    });
}

// What each control is to the keyboard and to screen readers, and its key in its tip.
void CDPlayer::describeControls() {
    const PlayerActions& a = *m_actions;
    const QString space = QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText);
    const struct {
        const char* name;
        const char* label;  // for those that have no tip of their own
        QString key;
    } buttons[] = {
        {"btrack", nullptr, PlayerActions::keyText(a.previous)},
        {"play", nullptr, space},
        {"pause", nullptr, space},
        {"stopbtn", nullptr, PlayerActions::keyText(a.stop)},
        {"ftrack", nullptr, PlayerActions::keyText(a.next)},
        {"eject", nullptr, PlayerActions::keyText(a.eject)},
        {"rew", nullptr, PlayerActions::keyText(a.rewind)},
        {"ff", nullptr, PlayerActions::keyText(a.fastForward)},
        {"picBarprev", "Previous track", PlayerActions::keyText(a.previous)},
        {"picBarrew", "Rewind", PlayerActions::keyText(a.rewind)},
        {"picBarplay", "Play", space},
        {"picBarpause", "Pause", space},
        {"picBarstop", "Stop", PlayerActions::keyText(a.stop)},
        {"picBarff", "Fast forward", PlayerActions::keyText(a.fastForward)},
        {"picBarnext", "Next track", PlayerActions::keyText(a.next)},
        {"picBar", nullptr, {}},
        {"picExpand", nullptr, {}},
        {"Picture8", nullptr, {}},
        {"Picture6", nullptr, {}},
        {"Picture7", nullptr, PlayerActions::keyText(a.exit)},
        {"Command1", nullptr, {}},
        {"Picture4", nullptr, {}},
        {"Picture1", nullptr, {}},
        {"Picture2", nullptr, {}},
        {"lOption", nullptr, {}},
    };
    for (const auto& b : buttons) {
        SkinLabel* button = control(b.name);
        button->setRole(SkinRole::Button);
        QString tip = b.label ? QString(b.label) : button->toolTip();
        if (!b.key.isEmpty()) {
            tip += " (" + b.key + ")";
        }
        button->setToolTip(tip);
    }
    for (auto* volumeButton : {findChild<SkinLabel*>("up"), findChild<SkinLabel*>("down")}) {
        QAction* action = volumeButton->objectName() == "up" ? a.volumeUp : a.volumeDown;
        volumeButton->setToolTip(volumeButton->toolTip() + " (" + PlayerActions::keyText(action) +
                                 ")");
    }
    for (const char* name : {"lAlwaysTop", "lContinue"}) {
        control(name)->setRole(SkinRole::CheckBox);
    }
    control("lAlwaysTop")->setChecked(m_player.settings().alwaysOnTop);
    control("lContinue")->setChecked(m_player.settings().continuousPlay);
    // The rating letter opens its menu.
    findChild<SkinLabel*>("lRandom")->setRole(SkinRole::Button);
    for (int i = 0; i < 10; ++i) {
        auto* number = findChild<SkinLabel*>(QString("N%1").arg(i));
        number->setRole(SkinRole::Button);
        number->setAccessibleName(QString("Track %1").arg(i + 1));
        number->setToolTip(QString("Play track %1 (%2)")
                               .arg(i + 1)
                               .arg(PlayerActions::keyText(a.tracks[std::size_t(i)])));
    }
    auto* more = findChild<SkinLabel*>("M");
    more->setRole(SkinRole::Button);
    more->setAccessibleName("More tracks");
    const std::pair<const char*, const char*> texts[] = {
        {"timeWindow", "Time"},     {"lTrack", "Track"}, {"ltTime", "Total time"},
        {"lCount", "Tracks"},       {"BarTime", "Time"}, {"Bartrack", "Track"},
        {"BarTotal", "Total time"}, {"Info", "Status"}};
    for (const auto& [name, what] : texts) {
        control(name)->setRole(SkinRole::Text);
        control(name)->setAccessibleDescription(what);
    }
    const std::pair<const char*, const char*> lights[] = {
        {"picStop", "Stopped"}, {"picPause", "Paused"}, {"PicPlay", "Playing"}};
    for (const auto& [name, what] : lights) {
        control(name)->setAccessibleName(what);
    }
    const char* const fields[] = {"Title", "Artist", "Album"};  // in the order of TrackField
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setAccessibleName(fields[i]);
    }
    LV->setAccessibleName("Track list");
    for (int star = 1; star <= 5; ++star) {
        if (auto* label = findChild<SkinLabel*>(QString("t%1").arg(star))) {
            label->setAccessibleName(QString("Rating star %1").arg(star));
        }
    }
}

void CDPlayer::playOrPause() {
    if (!m_player.transportEnabled()) {
        return;
    }
    if (m_player.playbackStatus() == PlaybackStatus::Playing) {
        m_player.pause();
    } else {
        m_player.play();
    }
}

void CDPlayer::showOrHide() {
    if (isVisible() && !isMinimized()) {
        hideToTray();
    } else {
        restoreFromTray();
    }
}

void CDPlayer::timeWindow_Click() {
    if (const auto tooltip = m_model.cycleTimeMode()) {
        control("timeWindow")->setToolTip(QString::fromStdString(*tooltip));
    }
}

void CDPlayer::BarTime_Click() {
    if (const auto tooltip = m_model.clickBarTime()) {
        control("timeWindow")->setToolTip(QString::fromStdString(*tooltip));
    }
}

void CDPlayer::Picture4_Click() {
    // The wait cursor is put back however the lookup ends.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_player.refreshLibrary();
    QApplication::restoreOverrideCursor();
}

void CDPlayer::lOption_MouseDown() {
    setTextColour(control("lOption"), kOptionOn);
    m_side->openOptions();
}

void CDPlayer::imgLogo_DblClick() {
    m_shell.OpenWithShell(ProductWebPage(), kShowNormal, "", "", "open");
}

// ---- what the player and the presenter report ----

void CDPlayer::listenToPlayer() {
    const Player& p = m_player;
    connect(&m_model, &PlayerWindowModel::closeRequested, this, &CDPlayer::close);
    connect(&m_model, &PlayerWindowModel::volumeBarChanged, this, [this](double percent) {
        if (!catchUpLater()) {
            m_volume->showShare(percent);
        }
    });
    connect(&m_model, &PlayerWindowModel::barLayoutChanged, this,
            [this](bool bar) { bar ? applyBarLayout() : applyNormalLayout(); });
    connect(&m_model, &PlayerWindowModel::lowerAreaChanged, this, &CDPlayer::showLowerArea);
    connect(&p, &Player::raiseRequested, this, &CDPlayer::restoreFromTray);
    connect(&p, &Player::continuousPlayChanged, this, [this](bool on) {
        setTextColour(control("lContinue"), on ? kOptionOn : kOptionOff);
        control("lContinue")->setChecked(on);
    });
    connect(&p, &Player::alwaysOnTopChanged, this, &CDPlayer::showAlwaysOnTop);
    connect(&p, &Player::coverDue, this, &CDPlayer::showCoverDue);
    connect(&p, &Player::discReset, this, [this] {
        m_numbers->emptyMoreMenu();
        if (catchUpLater()) {
            m_coverBehind.emplace(std::nullopt);
            return;
        }
        m_cover->clear();
    });
}

void CDPlayer::listenToDisplay() {
    const PlayerDisplay& d = m_player.display();
    connect(&d, &PlayerDisplay::transportEnabledChanged, this, [this](bool enabled) {
        m_actions->setTransportEnabled(enabled);  // also the tray's menu
        if (!catchUpLater()) {
            enableTransportButtons(enabled);
        }
    });
    connect(&d, &PlayerDisplay::ejectCaptionChanged, this, [this](const std::string& caption) {
        m_actions->eject->setText(QString::fromStdString(caption));  // also the tray's menu
    });
    // The rest is the window's own: not written while nothing of it is seen.
    connect(&d, &PlayerDisplay::indicatorChanged, this, [this](Indicator which, bool shown) {
        if (!catchUpLater()) {
            showIndicator(which, shown);
        }
    });
    for (auto changed : {&PlayerDisplay::progressShownChanged, &PlayerDisplay::moreShownChanged}) {
        connect(&d, changed, this, [this] {
            if (!catchUpLater()) {
                showLayoutDependentControls();
            }
        });
    }
    connect(&d, &PlayerDisplay::progressPercentChanged, this, [this](int percent) {
        if (!catchUpLater()) {
            m_progress->setPercent(percent);
        }
    });
    connect(&d, &PlayerDisplay::statusTextChanged, this,
            [this](const std::string& text, const std::string& tip) {
                if (!catchUpLater()) {
                    showStatus(text, tip);
                }
            });
    connect(&d, &PlayerDisplay::captionChanged, this,
            [this](Caption caption, const std::string& text) {
                if (!catchUpLater()) {
                    showCaption(caption, text);
                }
            });
    connect(&d, &PlayerDisplay::trackFieldChanged, this,
            [this](TrackField field, const std::string& text) {
                if (!catchUpLater()) {
                    showTrackField(field, text);
                }
            });
    connect(&d, &PlayerDisplay::trackNumberColourChanged, this,
            [this](int index, WinColour colour) {
                if (!catchUpLater()) {
                    m_numbers->setColour(index, colour);
                }
            });
    connect(&d, &PlayerDisplay::starsChanged, this, [this](int rating) {
        if (!catchUpLater()) {
            m_stars->showRating(rating);
        }
    });
    connect(&d, &PlayerDisplay::selectedRowChanged, this, [this](int row) {
        if (!catchUpLater()) {
            LV->selectRow(row);
        }
    });
    const TrackList& tracks = m_player.trackList();
    connect(&tracks, &TrackList::rowsReplaced, this, [this, &tracks] {
        if (!catchUpLater()) {
            LV->showRows(tracks.rows());
        }
    });
    connect(&tracks, &TrackList::rowChanged, this, [this, &tracks](int row) {
        const TrackRow* changed = tracks.row(row);
        if (changed && !catchUpLater()) {
            LV->showRating(row, changed->rating);
        }
    });
}

// Drawn only while the window is seen: hidden in the tray or minimised, it paints
// nothing and sets no control, and shows everything once it is back.
bool CDPlayer::drawing() const {
    return isVisible() && !isMinimized();
}

bool CDPlayer::catchUpLater() {
    if (drawing()) {
        return false;
    }
    m_behind = true;
    return true;
}

void CDPlayer::catchUp() {
    if (!m_behind || !drawing()) {
        return;
    }
    m_behind = false;
    showDisplay();
    if (m_coverBehind) {
        if (*m_coverBehind) {
            showCoverDue(**m_coverBehind);
        } else {
            m_cover->clear();
        }
        m_coverBehind.reset();
    }
}

// Everything the player and the presenter hold, drawn once, so a window made or shown at
// any time shows the player as it stands.
void CDPlayer::showDisplay() {
    const PlayerDisplay& d = m_player.display();
    m_actions->setTransportEnabled(d.transportEnabled());
    enableTransportButtons(d.transportEnabled());
    for (Indicator indicator : {Indicator::Stop, Indicator::Pause, Indicator::Play}) {
        showIndicator(indicator, d.indicatorShown(indicator));
    }
    m_progress->setPercent(d.progressPercent());
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
        m_numbers->setColour(i, d.trackNumberColour(i));
    }
    m_actions->eject->setText(QString::fromStdString(d.ejectCaption()));
    m_stars->showRating(d.stars());
    LV->showRows(m_player.trackList().rows());
    LV->selectRow(d.selectedRow());
    m_volume->showShare(m_model.volumePercent());
    showLayoutDependentControls();
}

void CDPlayer::enableTransportButtons(bool enabled) {
    for (const char* name : {"play", "pause", "ff", "rew", "ftrack", "btrack", "stopbtn"}) {
        control(name)->setEnabled(enabled);
    }
    for (const char* name : kBarButtons) {
        control(name)->setEnabled(enabled);
    }
}

void CDPlayer::showIndicator(Indicator indicator, bool shown) {
    if (indicator == Indicator::Play) {
        // The light blinks twice a second: its picture comes and goes, while the control
        // stays, so the window system is not asked where the pointer is each time.
        control("PicPlay")->setPixmap(shown ? m_slots["PicPlay"] : QPixmap());
    } else {
        control(indicator == Indicator::Stop ? "picStop" : "picPause")->setVisible(shown);
    }
}

void CDPlayer::showCaption(Caption caption, const std::string& text) {
    const char* const labels[] = {"timeWindow", "BarTime",  "lTrack", "Bartrack",
                                  "ltTime",     "BarTotal", "lCount"};
    control(labels[static_cast<int>(caption)])->setText(QString::fromStdString(text));
}

void CDPlayer::showTrackField(TrackField field, const std::string& text) {
    m_fields[static_cast<std::size_t>(field)]->showText(QString::fromStdString(text));
}

void CDPlayer::showStatus(const std::string& text, const std::string& tip) {
    SkinLabel* info = control("Info");
    m_status->show(QString::fromStdString(text), QString::fromStdString(tip));
    if (info->isVisible()) {
        info->repaint();  // seen at once, before a slow command such as closing the door
    }
}

void CDPlayer::showCoverDue(const std::string& path) {
    if (catchUpLater()) {
        m_coverBehind.emplace(path);
        return;
    }
    if (m_cover->isVisibleTo(this)) {
        m_cover->LoadImage(path);
    }
}

void CDPlayer::showLayoutDependentControls() {
    const PlayerDisplay& d = m_player.display();
    const bool bar = m_model.barLayout();
    m_progress->setVisible(d.progressShown() && !bar);
    m_numbers->more()->setVisible(d.moreShown() && !bar);
}

void CDPlayer::showAlwaysOnTop(bool on) {
    setTextColour(control("lAlwaysTop"), on ? kOptionOn : kOptionOff);
    control("lAlwaysTop")->setChecked(on);
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

void CDPlayer::RestoreNormalSkin() {
    m_progress->showNormalSkin();
    m_volume->showNormalSkin();
    setTextColour(control("lOption"), kOptionOff);
    m_stars->showNormalSkin();
}

// ---- layouts ----

void CDPlayer::setHeightTwips(int twips) {
    setFixedHeight(toPixels(twips));
}

void CDPlayer::applyNormalLayout() {
    control("picBar")->setPixmap(m_slots["picbarNorm"]);
    setHeightTwips(kNormalHeightTwips);
    for (const char* name : kBarLabels) {
        control(name)->hide();
    }
    for (const char* name : kMovedPictures) {
        moveToTwips(control(name), designedPlace(name));
    }
    for (const char* name : kBarButtons) {
        control(name)->hide();
    }
    m_progress->twin()->hide();
    showLayoutDependentControls();
    update();
}

void CDPlayer::applyBarLayout() {
    control("picBar")->setPixmap(m_slots["picbarRest"]);
    control("picExpand")->setPixmap(m_slots["picex"]);
    setHeightTwips(kBarHeightTwips);
    for (const char* name : kBarLabels) {
        control(name)->show();
        control(name)->raise();
    }
    for (const char* name : kMovedPictures) {
        moveToTwips(control(name), barPlace(name));
    }
    for (const char* name : kBarButtons) {
        control(name)->show();
        control(name)->raise();
    }
    m_progress->twin()->show();
    m_progress->twin()->raise();
    showLayoutDependentControls();
    update();
}

void CDPlayer::showLowerArea(LowerArea area, LowerArea before) {
    SkinLabel* listButton = control("picExpand");
    SkinLabel* coverButton = control("Picture8");
    if (area == LowerArea::Cover || (area == LowerArea::Closed && before == LowerArea::Cover)) {
        const bool open = area == LowerArea::Cover;
        openLowerArea(open, coverButton, listButton);
        if (open) {
            m_cover->show();
            m_cover->raise();
            m_cover->LoadImage(m_model.coverPath());
        } else {
            m_cover->clear();
            m_cover->hide();
        }
    } else {
        openLowerArea(area == LowerArea::TrackList, listButton, coverButton);
    }
}

// The list button and the cover button open the same lower area; while one has it open,
// the other is hidden.
void CDPlayer::openLowerArea(bool open, SkinLabel* button, SkinLabel* otherButton) {
    setHeightTwips(open ? kExpandedHeightTwips : kNormalHeightTwips);
    button->setPixmap(m_slots[open ? "picclose" : "picex"]);
    otherButton->setVisible(!open);
}

void CDPlayer::hideToTray() {
    if (m_tray) {
        m_tray->show();  // a start in the tray shows the icon before the window ever shows
    }
    m_model.setInTray(true);
    minimiseOutOfSight();
}

// Hidden, not iconified: the window manager never sees the window minimised, so none of
// its state changes can arrive late and undo a quick restore. Without a notification area
// to come back from, the window is minimised normally and the taskbar brings it back.
void CDPlayer::minimiseOutOfSight() {
    if (m_tray && m_tray->available()) {
        hide();
        showMinimisedControls(false);
    } else {
        showMinimized();
    }
}

void CDPlayer::restoreFromTray() {
    const bool away = isHidden() || isMinimized();
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
    if (away) {
        showRestored();
    }
}

// Back from the tray or the taskbar.
void CDPlayer::showRestored() {
    showMinimisedControls(true);
    m_model.cameBack();
    catchUp();
    m_status->refresh();
}

void CDPlayer::showMinimisedControls(bool visible) {
    for (const char* name : kMinimisedControls) {
        control(name)->setVisible(visible);
    }
    for (TrackTextField* field : m_fields) {
        field->setVisible(visible);
    }
    m_numbers->showNumbers(visible);
    m_volume->setVisible(visible);
}

// ---- window events ----

void CDPlayer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_tray) {
        m_tray->show();  // present from the first display of the window until shut-down
    }
    // On screen, so not in the tray, however it got there: else the next start would
    // open hidden.
    if (!isMinimized()) {
        m_player.setInTray(false);
    }
    catchUp();
}

void CDPlayer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isVisible() && !isMinimized()) {
        m_player.setInTray(false);
    }
}

void CDPlayer::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (windowState() & Qt::WindowMinimized) {
        showMinimisedControls(false);
        m_status->refresh();  // no scrolling while minimised
    } else if (isVisible()) {
        showRestored();
    }
    if (m_tray) {
        m_tray->show();
    }
}

void CDPlayer::closeEvent(QCloseEvent* event) {
    // Not inside a poll or lookup, nor during start-up: the presenter asks again later.
    if (!m_model.mayClose()) {
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
    painter.drawPixmap(0, 0, m_slots[m_model.barLayout() ? "BarMode" : "picNormal"]);
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
    if (event->buttons() == Qt::NoButton) {
        if (const auto tooltip = m_model.barTooltip()) {
            const QString tip = QString::fromStdString(*tooltip);
            for (const char* name : kBarLabels) {
                control(name)->setToolTip(tip);
            }
        }
    }
    m_mover->snapToScreenEdges();
}

void CDPlayer::mouseDoubleClickEvent(QMouseEvent*) {
    m_model.toggleBarLayout();
}

}  // namespace sonarch
