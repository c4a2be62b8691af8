#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "librarian/file_chooser.h"
#include "librarian/librarian_window.h"
#include "librarian/player_settings_link.h"
#include "library/library_check_record.h"
#include "library_fixture.h"
#include "support/web_test_server.h"

namespace sonarch::testing {

// The user at the file dialogs: answers given beforehand, in order; none left is a cancel.
class AnsweringFiles : public FileChooser {
public:
    void answer(std::string path) { m_answers.push_back(std::move(path)); }
    std::optional<std::string> fileToOpen(const FileQuestion& question) override;
    std::optional<std::string> fileToSave(const FileQuestion& question) override;
    const std::vector<FileQuestion>& asked() const { return m_asked; }

private:
    std::optional<std::string> next(const FileQuestion& question);

    std::vector<std::string> m_answers;
    std::size_t m_next = 0;
    std::vector<FileQuestion> m_asked;
};

using Table = std::vector<std::vector<std::string>>;

// The library window on real widgets, a library in a temporary folder, the player's
// settings file there too, and a local web server answering as MusicBrainz and the Cover
// Art Archive do.
class LibrarianFixture {
public:
    LibrarianFixture();
    ~LibrarianFixture();

    // Shows the window and starts it as qvlibrary does.
    LibrarianWindow& start(const std::string& library, const std::string& drive, bool add,
                           std::optional<PendingRating> rating = std::nullopt);
    // The library file made empty, as qvlib create makes it.
    void createLibrary();

    template <class T>
    T* control(const char* name) const {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* button);
    // Runs the event loop until `done`, for at most `seconds`.
    bool waitFor(const std::function<bool()>& done, int seconds = 20);
    bool showsPage(const char* name) const;

    Table sql(const std::string& query) const;
    std::string settingsFile() const;

    TempFolder folder;
    std::string library;
    std::string settingsFolder;
    MessageRecorder messages;
    AnsweringFiles files;
    PlayerSettingsLink player;
    LibraryCheckRecord record;
    WebTestServer server;
    OnlineSettings online;
    std::unique_ptr<LibrarianWindow> window;

private:
    std::optional<std::string> m_noProxy;
};

}  // namespace sonarch::testing
