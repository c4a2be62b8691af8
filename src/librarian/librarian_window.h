#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QProgressDialog>

#include <optional>
#include <string>

#include "librarian/librarian_command_line.h"
#include "library/drive_disc.h"
#include "library/library_file.h"
#include "lookup/online_settings.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace sonarch {

class DiscEditor;
class DiscReader;
class DiscsPage;
class FileChooser;
class FirstUsePage;
class ImportJob;
class LibraryCheckRecord;
class Messages;
class PlayerLink;
struct JetImportProgress;
struct JetImportSummary;
template <class T>
class Result;

// What the library window works with, passed in: real dialogs, the player and the web
// services in the program; recorders, temporary folders and a local web server in tests.
struct LibrarianServices {
    Messages& messages;
    FileChooser& files;
    PlayerLink& player;
    OnlineSettings online;
    const LibraryCheckRecord* checkRecord = nullptr;
    // Where a first library is suggested: $XDG_DATA_HOME/qvplayer/library.dbd.
    std::string suggestedLibrary;
};

// "Sonarch Library": the discs of a library, each opened to edit its names, ratings,
// comments and cover, and the disc in the drive added to it. Every save is one change to
// the library through LibraryFile; the player is told when a disc changed.
class LibrarianWindow : public QMainWindow {
    Q_OBJECT
public:
    LibrarianWindow(LibrarianServices services, QWidget* parent = nullptr);
    ~LibrarianWindow() override;

    // Shows the library at `library` ("None selected" or a missing file: the first-use
    // page); `add` goes on to the disc in `drive` once there is a library, with `rating`
    // set in its track (not stored before the disc is saved).
    void start(const std::string& library, const std::string& drive, bool add,
               std::optional<PendingRating> rating = std::nullopt);

    // A later start's request: the window comes forward, and goes on to the disc in
    // `drive` (when given) if asked to add it.
    void takeRequest(const std::string& drive, bool addDisc,
                     std::optional<PendingRating> rating = std::nullopt);

    // The commands, as the menus and buttons give them.
    void addDriveDisc();
    void importOldLibrary();
    const std::string& libraryPath() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QWidget* buildReadingPage();
    void showFirstUse(const QString& why);
    bool openLibrary(const std::string& path);
    void createLibrary(const std::string& path, bool askPlayer);
    void chooseLibraryToOpen(bool askPlayer);
    void chooseLibraryToCreate(bool askPlayer);
    void tellPlayerToUse(const std::string& path, bool ask);
    void refreshDiscs();
    void showDiscs();
    void openDisc(const std::string& key);
    void deleteDisc(const std::string& key);
    void driveDiscRead(const Result<DriveDisc>& disc);
    void saveDisc();
    bool leaveEditor();
    void importProgressed(const JetImportProgress& progress);
    void importFinished(const Result<JetImportSummary>& summary, const std::string& newLibrary);

    LibrarianServices m_services;
    std::optional<LibraryFile> m_library;
    std::string m_drive;
    bool m_addWhenOpen = false;
    std::optional<PendingRating> m_pendingRating;  // for the disc read next
    std::optional<DriveDisc> m_driveDisc;          // the disc last read from the drive

    QStackedWidget* m_pages;
    FirstUsePage* m_firstUse;
    DiscsPage* m_discs;
    QWidget* m_reading;
    QLabel* m_readingText;
    QProgressBar* m_readingProgress;
    QPushButton* m_readAgain;
    DiscEditor* m_editor;
    QLabel* m_libraryLabel;
    DiscReader* m_reader;
    ImportJob* m_import;
    QPointer<QProgressDialog> m_importProgress;
};

}  // namespace sonarch
