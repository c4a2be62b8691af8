// An old library in the Access format imported from the window, and used from then on.
#include <gtest/gtest.h>

#include <QPointer>
#include <QProgressDialog>
#include <QTreeView>

#include "jet_files.h"
#include "librarian_fixture.h"

namespace sonarch {
namespace {

using testing::JetCell;
using testing::LibrarianFixture;
using testing::Table;

TEST(ImportingAnOldLibrary, MakesTheNewLibraryWithProgressAndUsesIt) {
    if (!testing::HaveMdbtools()) {
        GTEST_SKIP() << "mdbtools is missing (scripts/setup.sh installs it)";
    }
    LibrarianFixture f;
    const std::string old = f.folder.file("old.mdb");
    const std::vector<std::vector<JetCell>> rows = {
        {"150 9150 22650", "01", "02:00", "Uno", "Ann", "Alpha", "7", "", "", ""},
        {"150 9150 22650", "02", "03:00", "Dos", "Ann", "Alpha", "0", "", "", "the best"},
        {"150 4650 9150", "01", "01:00", "Solo", "Bea", "Beta", std::nullopt, "", "kept", ""}};
    ASSERT_TRUE(testing::WriteCheckedJetFile(old, {{"Audio", testing::LibraryColumns(), rows, {}}},
                                             {}, f.folder.path().string()));
    const std::string made = f.folder.file("imported.dbd");
    f.files.answer(old);
    f.files.answer(f.folder.file("imported"));  // the extension is added
    f.messages.answerNext(true);                // use it from now on
    f.start("None selected", "demo", false);
    f.click("importLibrary");
    QPointer<QProgressDialog> progress = f.window->findChild<QProgressDialog*>("importProgress");
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    ASSERT_TRUE(f.waitFor([&] { return f.showsPage("discsPage"); }, 60))
        << (f.messages.shown().empty() ? "" : f.messages.shown().back());

    ASSERT_EQ(f.messages.asked().size(), 1u);
    EXPECT_EQ(f.messages.asked()[0], "Imported 3 tracks of 2 discs into \u201c" + made +
                                         "\u201d. Use this library from now on, in the player "
                                         "too? [Use it]");
    EXPECT_EQ(f.files.asked()[1].start, f.folder.file("old (imported).dbd"))
        << "a free name beside the old library is suggested";
    EXPECT_TRUE(progress.isNull() || !progress->isVisible()) << "the progress dialog is gone";
    f.library = made;
    EXPECT_EQ(f.sql("SELECT cddbToc, trkNum, trkTitle, Rating, aCom, trkCom FROM Audio ORDER BY "
                    "cddbToc, trkNum"),
              (Table{{"150 4650 9150", "01", "Solo", "0", "kept", ""},
                     {"150 9150 22650", "01", "Uno", "7", "", ""},
                     {"150 9150 22650", "02", "Dos", "0", "", "the best"}}));
    EXPECT_EQ(f.control<QTreeView>("discList")->model()->rowCount(), 2);
    const std::string settings = f.settingsFile();
    EXPECT_EQ(settings.substr(0, settings.find("\r\n")), made);
}

}  // namespace
}  // namespace sonarch
