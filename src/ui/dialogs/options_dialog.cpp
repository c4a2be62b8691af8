#include "ui/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>

#include "core/option_values.h"
#include "core/player.h"
#include "layout/window_places.h"
#include "model/settings.h"
#include "ui/dialogs/up_down.h"

namespace sonarch {

namespace {

constexpr int kClientWidth = 4815;
constexpr int kClientHeight = 1860;
constexpr int kFewestSeconds = 1;
constexpr int kMostSeconds = 600;

void placeTwips(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

template <class T>
T* named(T* control, const char* name) {
    control->setObjectName(name);
    return control;
}

}  // namespace

std::unique_ptr<QFileDialog> makeFileDialog(QWidget* parent, const BrowseRequest& request) {
    auto dialog = std::make_unique<QFileDialog>(parent, request.title, request.folder);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(request.filter);
    // A pattern in the name field lists what it matches, as the filter does.
    dialog->selectFile(request.fileName);
    return dialog;
}

FileChooser systemFileChooser() {
    return [](QWidget* parent, const BrowseRequest& request) -> std::optional<QString> {
        const std::unique_ptr<QFileDialog> dialog = makeFileDialog(parent, request);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog->selectedFiles().front();
    };
}

frmCDOption::frmCDOption(Player& player, DesktopRegistration registration, QWidget* parent)
    : QDialog(parent),
      m_player(player),
      m_registration(std::move(registration)),
      m_chooseFile(systemFileChooser()) {
    setObjectName("frmCDOption");
    setWindowTitle("Options");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));
    // The places are in twips for a small dialog font: the labels fit them at 10 pixels.
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    createControls();
    Form_Load();
}

frmCDOption::~frmCDOption() {
    Form_Unload();  // destroyed with the player window while still open
}

void frmCDOption::createControls() {
    placeTwips(named(new QLabel("Query this database for disc info:", this), "Label1"), 90, 90,
               3300, 240);
    tDB = named(new QLineEdit(this), "tDB");
    placeTwips(tDB, 90, 360, 4335, 285);
    auto* browse = named(new QPushButton(this), "Command1");
    browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse->setIconSize(QSize(16, 16));
    browse->setToolTip("Browse for databasse");
    placeTwips(browse, 4455, 360, 330, 285);
    placeTwips(named(new QLabel("Fast forward or rewind speed (seconds):", this), "l2"), 90, 765,
               3030, 240);
    tSpeed = named(new QLineEdit(this), "tSpeed");
    placeTwips(tSpeed, 3240, 720, 630, 330);
    placeTwips(new UpDown("UpDown1", tSpeed, kFewestSeconds, kMostSeconds, this), 3915, 720, 240,
               330);
    Check1 = named(new QCheckBox("Display rating.", this), "Check1");
    placeTwips(Check1, 135, 1125, 2535, 240);
    Check2 = named(new QCheckBox("Set as default CD player.", this), "Check2");
    placeTwips(Check2, 135, 1485, 2535, 240);
    auto* ok = named(new QPushButton("OK", this), "Command2");
    ok->setDefault(true);
    placeTwips(ok, 3195, 1440, 690, 330);
    auto* cancel = named(new QPushButton("Cancel", this), "Command3");
    placeTwips(cancel, 4005, 1440, 690, 330);

    connect(browse, &QPushButton::clicked, this, &frmCDOption::Command1_Click);
    connect(Check1, &QCheckBox::released, this, &frmCDOption::Check1_MouseUp);
    connect(Check2, &QCheckBox::clicked, this, &frmCDOption::Check2_Click);
    connect(ok, &QPushButton::clicked, this, &frmCDOption::Command2_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmCDOption::Form_Load() {
    const Settings& s = m_player.settings();
    m_storedPath = s.databasePath;
    tDB->setText(QString::fromStdString(PathForField(m_storedPath)));
    tSpeed->setText(QString::number(s.seekStep));
    Check1->setChecked(s.showRating);
    m_player.suspendPolling();
    Check2->setChecked(m_registration.isDefaultCdPlayer());
}

void frmCDOption::Form_Unload() {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    m_player.resumePolling();
}

void frmCDOption::done(int result) {
    Form_Unload();
    QDialog::done(result);
}

void frmCDOption::Command1_Click() {
    const QFileInfo current(tDB->text());
    const QString folder = current.absoluteDir().exists() ? current.absolutePath() : QString();
    const auto chosen = m_chooseFile(this, {"Browse for databasse", "*.dbd", folder, "*.dbd"});
    if (!chosen) {
        return;
    }
    tDB->setText(QString::fromStdString(WithLibraryExtension(chosen->toStdString())));
}

void frmCDOption::Check1_MouseUp() {
    m_player.redrawRatingAtNextPoll();
}

void frmCDOption::Check2_Click(bool ticked) {
    if (const auto error = m_registration.setDefaultCdPlayer(ticked)) {
        tell(Check2, QString("The default CD player could not be changed: %1")
                         .arg(QString::fromStdString(*error)));
    }
}

void frmCDOption::Command2_Click() {
    const auto step = ParseSeekStep(tSpeed->text().toStdString());
    if (!step) {
        tSpeed->setFocus();
        tSpeed->selectAll();
        tell(tSpeed, "The speed is a whole number of seconds, such as 10.");
        return;
    }
    m_player.setSeekStep(*step);
    // Another library: the disc is looked up in it at once.
    m_player.useLibrary(PathFromField(tDB->text().toStdString(), m_storedPath));
    m_player.setShowRating(Check1->isChecked());
    accept();
}

void frmCDOption::tell(QWidget* control, const QString& text) {
    QToolTip::showText(control->mapToGlobal(QPoint(0, control->height())), text, control);
}

}  // namespace sonarch
