// Links opened through a stand-in xdg-open that records what it was asked to open and
// ends with the code it is given; the outcome in the shell's result codes and records.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QCoreApplication>
#include <QSignalSpy>

#include "desktop/open_with_shell.h"
#include "support/xdg_sandbox.h"

namespace sonarch {
namespace {

using testing::StandInXdgOpen;
using testing::XdgSandbox;

constexpr std::int32_t kBase = -2147220456;  // 0x80040418 as a signed 32-bit number
const std::string kSource = "desktop_tests.GShell";
const char kGeneric[] =
    "An error occurred occurred whilst trying to open or print the selected file.";

ShellOutcome openAndWait(const std::string& file, const std::string& parameters = "",
                         const std::string& directory = "", const std::string& verb = "open") {
    ShellOpener opener(nullptr);
    ShellOutcome outcome;
    QObject::connect(&opener, &ShellOpener::finished,
                     [&outcome](const ShellOutcome& given) { outcome = given; });
    QSignalSpy finished(&opener, &ShellOpener::finished);
    opener.OpenWithShell(file, 10, parameters, directory, verb);
    EXPECT_EQ(finished.count(), 0) << "the outcome never arrives before the call returns";
    EXPECT_TRUE(finished.wait(20000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return outcome;
}

TEST(ShellLinks, XdgOpenGetsTheAddressAndItsExitCodeBecomesTheErrorRecord) {
    StandInXdgOpen xdgOpen;
    const struct {
        int exitCode;
        bool success;
        ShellError error;
    } cases[] = {
        {0, true, {}},
        {1, false, {kBase + 1, kSource, kGeneric}},
        {2, false, {53, kSource, "File not found"}},
        {3, false, {kBase + 31, kSource, "No application is associated with this file type."}},
        {4,
         false,
         {285, kSource,
          "The file could not be opened because the DDE transaction failed.  Please try again in "
          "a moment."}},
        {5, false, {75, kSource, "Path/file access error"}},
    };
    for (const auto& c : cases) {
        xdgOpen.setExitCode(c.exitCode);
        const ShellOutcome outcome = openAndWait("https://sonarch.example.org/Sonarch/");
        EXPECT_EQ(outcome.success, c.success) << c.exitCode;
        if (!c.success) {
            EXPECT_EQ(outcome.error, c.error) << c.exitCode;
        }
    }
    std::string addresses;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        addresses += "https://sonarch.example.org/Sonarch/\n";
    }
    EXPECT_EQ(xdgOpen.recorded(), addresses);
}

TEST(ShellLinks, WithoutXdgOpenNothingIsAssociated) {
    QTemporaryDir empty;
    testing::ScopedEnvironment env;
    env.set("PATH", QFile::encodeName(empty.path()));
    const ShellOutcome outcome = openAndWait("mailto:support@sonarch.example.org");
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(outcome.error, (ShellError{kBase + 31, kSource,
                                         "No application is associated with this file type."}));
}

TEST(ShellLinks, AVerbTheDesktopCannotDoIsNotAssociated) {
    StandInXdgOpen xdgOpen;
    const ShellOutcome outcome = openAndWait("/tmp/file.txt", "", "", "print");
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(outcome.error.number, kBase + 31);
    EXPECT_EQ(xdgOpen.recorded(), "") << "xdg-open cannot print";
}

TEST(ShellLinks, WithParametersTheFileIsStartedAsAProgramInTheDirectory) {
    QTemporaryDir dir;
    const QString program = dir.filePath("tool");
    // The program is started, not waited for: it reports through a pipe the test reads.
    const QString record = dir.filePath("record");
    ASSERT_EQ(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
    ASSERT_TRUE(XdgSandbox::write(
        program, "#!/bin/sh\necho \"$(pwd) $*\" > '" + record.toStdString() + "'\n"));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const std::string folder = QDir(dir.path()).canonicalPath().toStdString();

    EXPECT_TRUE(openAndWait(program.toStdString(), "--one \"two words\"", folder).success);
    EXPECT_EQ(XdgSandbox::read(record), folder + " --one two words\n");

    EXPECT_EQ(openAndWait(dir.filePath("missing").toStdString(), "-x", folder).error.number, 53);
    EXPECT_EQ(openAndWait(program.toStdString(), "-x", folder + "/missing").error.number, 76);
}

TEST(ShellLinks, ResultCodesMapOntoTheirRecords) {
    EXPECT_TRUE(ShellOutcomeFor(33, "qvplayer").success);
    EXPECT_TRUE(ShellOutcomeFor(42, "qvplayer").success);
    EXPECT_TRUE(ShellOutcomeFor(-1, "qvplayer").success);
    const struct {
        int result;
        std::int32_t number;
        const char* description;
    } cases[] = {
        {0, 7, "Out of memory"},
        {2, 53, "File not found"},
        {3, 76, "Path not found"},
        {5, 75, "Path/file access error"},
        {8, 7, "Out of memory"},
        {11, -2147220445, "The executable file is invalid or corrupt"},
        {26, 75, "A sharing violation occurred."},
        {27, kBase + 27, "This file type does not have a valid file association."},
        {28, 286, "The file could not be opened due to time out.  Please try again in a moment."},
        {30, 285,
         "The file could not be opened because the target application is busy.  Please try "
         "again in a moment."},
        {31, kBase + 31, "No application is associated with this file type."},
        {32, 48, "The specified dynamic-link library was not found."},
        {1, kBase + 1, kGeneric},
        {12, kBase + 12, kGeneric},
    };
    for (const auto& c : cases) {
        const ShellOutcome outcome = ShellOutcomeFor(c.result, "qvplayer");
        EXPECT_FALSE(outcome.success) << c.result;
        EXPECT_EQ(outcome.error, (ShellError{c.number, "qvplayer.GShell", c.description}))
            << c.result;
    }
}

}  // namespace
}  // namespace sonarch
