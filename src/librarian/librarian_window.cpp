#include "librarian/librarian_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>

#include <filesystem>

#include "base/messages.h"
#include "core/option_values.h"
#include "librarian/disc_editor.h"
#include "librarian/disc_reader.h"
#include "librarian/discs_page.h"
#include "librarian/file_chooser.h"
#include "librarian/first_use_page.h"
#include "librarian/import_job.h"
#include "librarian/player_link.h"
#include "library/library_choice.h"
#include "library/library_store.h"

namespace sonarch {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString inQuotes(const std::string& path) {
    return "\u201c" + QFile::decodeName(path.c_str()) + "\u201d";
}

std::string inQuotesText(const std::string& path) {
    return inQuotes(path).toStdString();
}

// "“Album” by Artist (12 tracks)", as questions name a disc.
std::string discName(const DiscSummary& disc) {
    const std::string album =
        disc.album.empty() ? "the disc without an album name" : "\u201c" + disc.album + "\u201d";
    const std::string artist = disc.artist.empty() ? "various artists" : disc.artist;
    return album + " by " + artist + " (" + std::to_string(disc.tracks) +
           (disc.tracks == 1 ? " track)" : " tracks)");
}

std::string folderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

}  // namespace

LibrarianWindow::LibrarianWindow(LibrarianServices services, QWidget* parent)
    : QMainWindow(parent),
      m_services(std::move(services)),
      m_reader(new DiscReader(this)),
      m_import(new ImportJob(this)) {
    setObjectName("LibrarianWindow");
    setWindowTitle("Sonarch Library");
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName("pages");
    m_firstUse = new FirstUsePage(m_pages);
    m_discs = new DiscsPage(m_pages);
    m_reading = buildReadingPage();
    m_editor = new DiscEditor(m_services.messages, m_services.files, m_services.online, m_pages);
    for (QWidget* page : {static_cast<QWidget*>(m_firstUse), static_cast<QWidget*>(m_discs),
                          m_reading, static_cast<QWidget*>(m_editor)}) {
        m_pages->addWidget(page);
    }
    setCentralWidget(m_pages);
    m_libraryLabel = new QLabel(this);
    m_libraryLabel->setObjectName("libraryPath");
    statusBar()->addPermanentWidget(m_libraryLabel);
    buildMenus();
    resize(880, 720);

    connect(m_firstUse, &FirstUsePage::createRequested, this,
            [this] { createLibrary(m_services.suggestedLibrary, false); });
    connect(m_firstUse, &FirstUsePage::createElsewhereRequested, this,
            [this] { chooseLibraryToCreate(false); });
    connect(m_firstUse, &FirstUsePage::openRequested, this, [this] { chooseLibraryToOpen(false); });
    connect(m_firstUse, &FirstUsePage::importRequested, this, &LibrarianWindow::importOldLibrary);
    connect(m_discs, &DiscsPage::openRequested, this, &LibrarianWindow::openDisc);
    connect(m_discs, &DiscsPage::deleteRequested, this, &LibrarianWindow::deleteDisc);
    connect(m_discs, &DiscsPage::addRequested, this, &LibrarianWindow::addDriveDisc);
    connect(m_editor, &DiscEditor::saveRequested, this, &LibrarianWindow::saveDisc);
    connect(m_editor, &DiscEditor::closeRequested, this, [this] {
        if (leaveEditor()) {
            showDiscs();
        }
    });
    connect(m_reader, &DiscReader::gettingReady, this, [this] {
        m_readingText->setText("The disc was just put in and is getting ready; waiting up to " +
                               QString::number(kDiscReadyPatience.count()) + " seconds\u2026");
    });
    connect(m_reader, &DiscReader::finished, this, &LibrarianWindow::driveDiscRead);
    connect(m_import, &ImportJob::progressed, this, &LibrarianWindow::importProgressed);
}

LibrarianWindow::~LibrarianWindow() = default;

QWidget* LibrarianWindow::buildReadingPage() {
    auto* page = new QWidget(m_pages);
    page->setObjectName("readingPage");
    m_readingText = new QLabel(page);
    m_readingText->setObjectName("readingText");
    m_readingText->setWordWrap(true);
    m_readingProgress = new QProgressBar(page);
    m_readingProgress->setObjectName("readingProgress");
    m_readingProgress->setAccessibleName("Reading the disc");
    m_readingProgress->setRange(0, 0);
    m_readAgain = new QPushButton("&Try again", page);
    m_readAgain->setObjectName("readAgain");
    auto* back = new QPushButton("&Back to the discs", page);
    back->setObjectName("cancelReading");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_readAgain);
    buttons->addWidget(back);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    layout->addWidget(m_readingText);
    layout->addWidget(m_readingProgress);
    layout->addLayout(buttons);
    layout->addStretch(2);
    connect(m_readAgain, &QPushButton::clicked, this, &LibrarianWindow::addDriveDisc);
    connect(back, &QPushButton::clicked, this, [this] {
        m_reader->cancel();
        showDiscs();
    });
    return page;
}

void LibrarianWindow::buildMenus() {
    QMenu* library = menuBar()->addMenu("&Library");
    auto add = [this, library](const QString& name, const QString& label, const QKeySequence& keys,
                               auto slot) {
        QAction* action = library->addAction(label);
        action->setObjectName(name);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QAction* addDisc = add("actionAddDisc", "&Add the disc in the drive",
                           QKeySequence(Qt::CTRL | Qt::Key_D), [this] { addDriveDisc(); });
    library->addSeparator();
    add("actionNewLibrary", "&New library\u2026", QKeySequence::New,
        [this] { chooseLibraryToCreate(true); });
    add("actionOpenLibrary", "&Open library\u2026", QKeySequence::Open,
        [this] { chooseLibraryToOpen(true); });
    add("actionImport", "&Import an old library\u2026", QKeySequence(Qt::CTRL | Qt::Key_I),
        [this] { importOldLibrary(); });
    library->addSeparator();
    add("actionQuit", "&Quit", QKeySequence::Quit, [this] { close(); });
    // Adding needs a library to add to.
    connect(m_pages, &QStackedWidget::currentChanged, this,
            [this, addDisc] { addDisc->setEnabled(m_library.has_value()); });
    addDisc->setEnabled(false);
}

const std::string& LibrarianWindow::libraryPath() const {
    static const std::string none;
    return m_library ? m_library->path() : none;
}

void LibrarianWindow::start(const std::string& library, const std::string& drive, bool add,
                            std::optional<PendingRating> rating) {
    m_drive = drive;
    m_addWhenOpen = add;
    m_pendingRating = add ? rating : std::nullopt;
    if (library.empty() || library == kNoDatabase) {
        showFirstUse("No library is chosen yet.");
    } else if (!LibraryStore::isAvailable(library)) {
        showFirstUse("The library " + inQuotes(library) + " is not there (any more).");
    } else if (!openLibrary(library)) {
        showFirstUse("The library " + inQuotes(library) + " cannot be used.");
    }
}

void LibrarianWindow::takeRequest(const std::string& drive, bool addDisc,
                                  std::optional<PendingRating> rating) {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (!drive.empty()) {
        m_drive = drive;
    }
    if (addDisc && m_pages->currentWidget() != m_reading) {
        m_pendingRating = rating;
        addDriveDisc();
    }
}

void LibrarianWindow::showFirstUse(const QString& why) {
    m_firstUse->show(why, QFile::decodeName(m_services.suggestedLibrary.c_str()));
    m_pages->setCurrentWidget(m_firstUse);
}

bool LibrarianWindow::openLibrary(const std::string& path) {
    auto opened = LibraryFile::open(path, LibraryLimits::forTools(), m_services.checkRecord);
    if (!opened.ok()) {
        m_services.messages.showMessage("The library cannot be opened: " + opened.error());
        return false;
    }
    m_library.emplace(std::move(opened.value()));
    m_driveDisc.reset();
    m_libraryLabel->setText("Library: " + QFile::decodeName(path.c_str()));
    refreshDiscs();
    showDiscs();
    if (std::exchange(m_addWhenOpen, false)) {
        addDriveDisc();
    }
    return true;
}

void LibrarianWindow::createLibrary(const std::string& path, bool askPlayer) {
    std::error_code error;
    if (std::filesystem::exists(path, error) && LibraryStore::isAvailable(path)) {
        // Made before, and not chosen in the player since: it is used as it is.
        if (openLibrary(path)) {
            tellPlayerToUse(path, askPlayer);
        }
        return;
    }
    std::filesystem::create_directories(folderOf(path), error);
    auto made = LibraryFile::create(path, LibraryLimits::forTools(), m_services.checkRecord);
    if (!made.ok()) {
        m_services.messages.showMessage("The library was not created: " + made.error());
        return;
    }
    statusBar()->showMessage("Created the library " + inQuotes(path) + ".");
    if (openLibrary(path)) {
        tellPlayerToUse(path, askPlayer);
    }
}

void LibrarianWindow::chooseLibraryToCreate(bool askPlayer) {
    if (!leaveEditor()) {
        return;
    }
    const auto chosen = m_services.files.fileToSave(
        {"New library", m_services.suggestedLibrary, "Libraries (*.dbd)"});
    if (chosen) {
        createLibrary(WithLibraryExtension(*chosen), askPlayer);
    }
}

void LibrarianWindow::chooseLibraryToOpen(bool askPlayer) {
    if (!leaveEditor()) {
        return;
    }
    const std::string start =
        m_library ? folderOf(m_library->path()) : folderOf(m_services.suggestedLibrary);
    const auto chosen =
        m_services.files.fileToOpen({"Open a library", start, "Libraries (*.dbd);;All files (*)"});
    if (chosen && openLibrary(*chosen)) {
        tellPlayerToUse(*chosen, askPlayer);
    }
}

void LibrarianWindow::tellPlayerToUse(const std::string& path, bool ask) {
    if (ask && !m_services.messages.ask(
                   "Should the player use the library " + inQuotesText(path) + " from now on?",
                   "Use it in the player")) {
        return;
    }
    const auto told = m_services.player.useLibrary(path);
    if (!told.ok()) {
        m_services.messages.showMessage(told.error());
    }
}

void LibrarianWindow::refreshDiscs() {
    if (!m_library) {
        return;
    }
    auto discs = m_library->discs();
    if (!discs.ok()) {
        m_services.messages.showMessage("The discs of the library cannot be read: " +
                                        discs.error());
        m_discs->setDiscs({});
        return;
    }
    m_discs->setDiscs(std::move(discs.value()));
}

void LibrarianWindow::showDiscs() {
    m_editor->cancelOnline();
    m_pages->setCurrentWidget(m_discs);
    m_discs->focusList();
}

void LibrarianWindow::openDisc(const std::string& key) {
    if (!m_library) {
        return;
    }
    const auto rows = m_library->rows(&key);
    if (!rows.ok()) {
        m_services.messages.showMessage("The disc cannot be read: " + rows.error());
        return;
    }
    if (rows.value().empty()) {
        m_services.messages.showMessage("The disc is no longer in the library.");
        refreshDiscs();
        return;
    }
    const bool inDrive = m_driveDisc && m_driveDisc->key == key;
    m_editor->showStored(DraftOfRows(rows.value()),
                         inDrive ? m_driveDisc : std::optional<DriveDisc>());
    m_pages->setCurrentWidget(m_editor);
}

void LibrarianWindow::deleteDisc(const std::string& key) {
    const auto disc = m_discs->currentDisc();
    if (!m_library || !disc || disc->key != key) {
        return;
    }
    if (!m_services.messages.ask(
            "Delete " + discName(*disc) + " from the library? Its ratings and comments go with it.",
            "Delete")) {
        return;
    }
    const auto removed = m_library->removeDisc(key);
    if (!removed.ok()) {
        m_services.messages.showMessage("The disc was not deleted: " + removed.error());
        return;
    }
    refreshDiscs();
    statusBar()->showMessage("Deleted " + text(discName(*disc)) + ".");
    m_services.player.discChanged(m_library->path(), key);
}

void LibrarianWindow::addDriveDisc() {
    if (!m_library) {
        m_addWhenOpen = true;
        return;
    }
    if (!leaveEditor()) {
        return;
    }
    const QString drive =
        m_drive.empty() ? QString("the system's CD drive") : "the drive " + inQuotes(m_drive);
    m_readingText->setText("Reading the disc in " + drive + "\u2026");
    m_readingProgress->show();
    m_readAgain->hide();
    m_pages->setCurrentWidget(m_reading);
    m_reader->start(m_drive);
}

void LibrarianWindow::driveDiscRead(const Result<DriveDisc>& disc) {
    if (!disc.ok()) {
        m_readingText->setText("The disc in the drive cannot be read: " + text(disc.error()));
        m_readingProgress->hide();
        m_readAgain->show();
        m_readAgain->setFocus();
        return;
    }
    m_driveDisc = disc.value();
    const auto rows = m_library->rows(&m_driveDisc->key);
    if (!rows.ok()) {
        m_services.messages.showMessage("The library cannot be read: " + rows.error());
        showDiscs();
        return;
    }
    if (rows.value().empty()) {
        m_editor->showNew(*m_driveDisc);
    } else {
        // Never added twice: the disc the library holds opens for editing.
        m_editor->showStored(DraftOfRows(rows.value()), m_driveDisc);
        m_discs->selectDisc(m_driveDisc->key);
        statusBar()->showMessage("This disc is in the library already; here it can be changed.");
    }
    if (const auto rating = std::exchange(m_pendingRating, std::nullopt)) {
        // The rating given in the player, kept once the disc is saved.
        m_editor->presetRating(rating->track, rating->rating);
    }
    m_pages->setCurrentWidget(m_editor);
}

void LibrarianWindow::saveDisc() {
    if (!m_library || m_editor->busy()) {
        return;
    }
    const DiscDraft draft = m_editor->draft();
    const auto saved = SaveDraft(*m_library, m_editor->stored(), draft, m_editor->pendingCover());
    if (!saved.ok()) {
        m_services.messages.showMessage("The disc was not saved: " + saved.error() +
                                        " The library is as it was.");
        return;
    }
    m_editor->showSaved(saved.value());
    refreshDiscs();
    m_discs->selectDisc(draft.key);
    statusBar()->showMessage("Saved.", 5000);
    m_services.player.discChanged(m_library->path(), draft.key);
}

bool LibrarianWindow::leaveEditor() {
    if (m_pages->currentWidget() != m_editor || !m_editor->hasChanges()) {
        return true;
    }
    const std::string album = m_editor->draft().album;
    const std::string name = album.empty() ? "this disc" : "\u201c" + album + "\u201d";
    return m_services.messages.ask("The changes to " + name + " are not saved. Leave them unsaved?",
                                   "Leave unsaved");
}

void LibrarianWindow::closeEvent(QCloseEvent* event) {
    if (!leaveEditor()) {
        event->ignore();
        return;
    }
    m_editor->cancelOnline();
    event->accept();
}

void LibrarianWindow::importOldLibrary() {
    if (m_import->running() || !leaveEditor()) {
        return;
    }
    const auto old =
        m_services.files.fileToOpen({"Import an old library", QDir::homePath().toStdString(),
                                     "Old libraries (*.dbd *.mdb);;All files (*)"});
    if (!old) {
        return;
    }
    const auto made = m_services.files.fileToSave(
        {"Save the imported library as", SuggestedImportPath(*old), "Libraries (*.dbd)"});
    if (!made) {
        return;
    }
    const std::string newLibrary = WithLibraryExtension(*made);
    // Covers named by Windows paths are looked for beside the old library.
    const JetImportRequest request{*old, newLibrary, folderOf(*old)};
    m_importProgress =
        new QProgressDialog("Reading " + inQuotes(*old) + "\u2026", "Cancel", 0, 0, this);
    m_importProgress->setObjectName("importProgress");
    m_importProgress->setWindowTitle("Importing an old library");
    m_importProgress->setWindowModality(Qt::WindowModal);
    m_importProgress->setAutoClose(false);
    m_importProgress->setAutoReset(false);
    m_importProgress->setMinimumDuration(0);
    connect(m_importProgress, &QProgressDialog::canceled, this, [this] {
        m_import->cancel();
        if (m_importProgress) {
            m_importProgress->setLabelText("Stopping\u2026");
        }
    });
    // Connected per import: the new library's name goes with it.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(m_import, &ImportJob::finished, this,
                          [this, newLibrary, connection](const Result<JetImportSummary>& summary) {
                              disconnect(*connection);
                              importFinished(summary, newLibrary);
                          });
    m_importProgress->show();
    m_import->start(request);
}

void LibrarianWindow::importProgressed(const JetImportProgress& progress) {
    if (!m_importProgress || m_importProgress->wasCanceled()) {
        return;
    }
    switch (progress.step) {
        case JetImportProgress::Step::Reading:
            m_importProgress->setRange(0, 0);
            break;
        case JetImportProgress::Step::Writing:
            m_importProgress->setLabelText(
                QString("Writing the rows: %1 of %2").arg(progress.done).arg(progress.total));
            m_importProgress->setRange(0, int(progress.total));
            // Last: the modal dialog's setValue lets events run, and the import may end in
            // them (the dialog is then gone).
            m_importProgress->setValue(int(progress.done));
            break;
        case JetImportProgress::Step::Finishing:
            m_importProgress->setLabelText("Finishing\u2026");
            break;
    }
}

void LibrarianWindow::importFinished(const Result<JetImportSummary>& summary,
                                     const std::string& newLibrary) {
    if (m_importProgress) {
        // Perhaps inside the dialog's own setValue (see importProgressed): it goes later.
        m_importProgress->hide();
        m_importProgress->deleteLater();
        m_importProgress = nullptr;
    }
    if (!summary.ok()) {
        m_services.messages.showMessage("The old library was not imported: " + summary.error());
        return;
    }
    const JetImportSummary& done = summary.value();
    const std::string question = "Imported " + std::to_string(done.rows) + " tracks of " +
                                 std::to_string(done.discs) + " discs into " +
                                 inQuotesText(newLibrary) +
                                 ". Use this library from now on, in the player too?";
    if (m_services.messages.ask(question, "Use it")) {
        if (openLibrary(newLibrary)) {
            tellPlayerToUse(newLibrary, false);
        }
    }
}

}  // namespace sonarch
