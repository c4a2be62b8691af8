// The window definition: every control of the player window, its place, picture, font
// and colour, and the pop-up menus.
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>

#include "ui/cd_player.h"
#include "ui/placement.h"
#include "ui/player_actions.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"

namespace sonarch {

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
        setTextColour(letter, kOptionOff);
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
    createListAndCover();
}

void CDPlayer::createMenus() {
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
    mnuPop->addSeparator()->setObjectName("s2");
    mnuPop->addAction(a.exit);
    auto item = [](QMenu* menu, const QString& name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };

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
    for (QMenu* menu : {mnuPop, mnuRate, mnuMore}) {
        styleMenu(menu);
    }
}

void CDPlayer::createListAndCover() {
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

}  // namespace sonarch
