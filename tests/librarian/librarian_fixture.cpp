#include "librarian_fixture.h"

#include <QAbstractButton>
#include <QStackedWidget>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "library/library_file.h"

namespace sonarch::testing {

std::optional<std::string> AnsweringFiles::next(const FileQuestion& question) {
    m_asked.push_back(question);
    if (m_next >= m_answers.size()) {
        return std::nullopt;
    }
    return m_answers[m_next++];
}

std::optional<std::string> AnsweringFiles::fileToOpen(const FileQuestion& question) {
    return next(question);
}

std::optional<std::string> AnsweringFiles::fileToSave(const FileQuestion& question) {
    return next(question);
}

LibrarianFixture::LibrarianFixture()
    : library(folder.file("music.dbd")),
      settingsFolder(folder.file("settings")),
      player(settingsFolder, std::nullopt),
      record(folder.path() / "checked") {
    std::filesystem::create_directories(settingsFolder);
    online.musicBrainz = QUrl(QString::fromStdString(server.url()));
    online.coverArt = QUrl(QString::fromStdString(server.url() + "/caa"));
    // A proxy set for the machine never sees the tests.
    if (const char* before = std::getenv("no_proxy")) {
        m_noProxy = before;
    }
    ::setenv("no_proxy", "127.0.0.1", 1);
}

LibrarianFixture::~LibrarianFixture() {
    window.reset();
    if (m_noProxy) {
        ::setenv("no_proxy", m_noProxy->c_str(), 1);
    } else {
        ::unsetenv("no_proxy");
    }
}

LibrarianWindow& LibrarianFixture::start(const std::string& path, const std::string& drive,
                                         bool add, std::optional<PendingRating> rating) {
    window = std::make_unique<LibrarianWindow>(LibrarianServices{
        messages, files, player, online, &record, folder.file("data/qvplayer/library.dbd")});
    window->show();
    window->start(path, drive, add, rating);
    return *window;
}

void LibrarianFixture::createLibrary() {
    const auto made = LibraryFile::create(library);
    ASSERT_TRUE(made.ok()) << made.error();
}

void LibrarianFixture::click(const char* button) {
    auto* found = control<QAbstractButton>(button);
    ASSERT_NE(found, nullptr);
    ASSERT_TRUE(found->isVisible()) << button;
    ASSERT_TRUE(found->isEnabled()) << button;
    QTest::mouseClick(found, Qt::LeftButton);
}

bool LibrarianFixture::waitFor(const std::function<bool()>& done, int seconds) {
    return QTest::qWaitFor(done, seconds * 1000);
}

bool LibrarianFixture::showsPage(const char* name) const {
    const auto* pages = window->findChild<QStackedWidget*>("pages");
    return pages && pages->currentWidget() && pages->currentWidget()->objectName() == name;
}

Table LibrarianFixture::sql(const std::string& query) const {
    return SqlFile(library).rows(query);
}

std::string LibrarianFixture::settingsFile() const {
    std::ifstream in(settingsFolder + "/player.dat", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace sonarch::testing
