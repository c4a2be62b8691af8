// Installs the build into a temporary DESTDIR, as a package build does, and checks the
// tree: the desktop's files pass their validators, the icons are the sizes their folders
// say, the manual pages name the options of --help, and the installed player runs from
// there as an installed program (settings in the config folder, the installed demo
// library, its desktop entry named on the bus).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <memory>

namespace {

constexpr int kWaitMs = 30000;
const QString kAppId = SONARCH_APP_ID;

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ProgramRun run(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProgramRun result;
    if (!process.waitForFinished(kWaitMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.err = program + " did not finish";
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The build, installed once per test process into a DESTDIR of its own.
class InstalledTree {
public:
    static InstalledTree& get() {
        static InstalledTree tree;
        return tree;
    }
    bool ok() const { return m_installed.exitCode == 0; }
    QString log() const { return m_installed.out + m_installed.err; }
    // PREFIX inside DESTDIR, and the install layout's folders in it.
    QString prefix() const { return m_destdir.path() + INSTALL_PREFIX; }
    QString bin(const QString& program = {}) const {
        return prefix() + "/" INSTALL_BINDIR + (program.isEmpty() ? "" : "/" + program);
    }
    QString data(const QString& path) const { return prefix() + "/" INSTALL_DATADIR "/" + path; }
    QString manPage(const QString& program) const {
        return prefix() + "/" INSTALL_MANDIR "/man1/" + program + ".1";
    }

private:
    InstalledTree() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", m_destdir.path());
        m_installed = run(CMAKE_COMMAND, {"--install", BUILD_DIR}, env);
    }
    QTemporaryDir m_destdir;
    ProgramRun m_installed;
};

#define ASSERT_INSTALLED() \
    ASSERT_TRUE(InstalledTree::get().ok()) << InstalledTree::get().log().toStdString()

// The values of the [Desktop Entry] group.
QMap<QString, QString> desktopEntry(const QString& path) {
    QMap<QString, QString> values;
    bool inGroup = false;
    for (const QString& line : readText(path).split('\n')) {
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
        } else if (inGroup && line.contains('=') && !line.startsWith('#')) {
            values.insert(line.section('=', 0, 0), line.section('=', 1));
        }
    }
    return values;
}

// The text of every element `name` in an XML file.
QStringList elementTexts(const QString& path, const QString& name) {
    QStringList texts;
    QXmlStreamReader xml(readText(path));
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name) {
            texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        }
    }
    return texts;
}

QMap<QString, QMap<QString, QString>> desktopActions(const QString& path);

bool haveProgram(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

TEST(InstalledTree, TheDesktopEntryAndMetainfoPassTheirValidatorsAndNameInstalledFiles) {
    ASSERT_INSTALLED();
    const InstalledTree& tree = InstalledTree::get();
    const QString entry = tree.data("applications/" + kAppId + ".desktop");
    const QString metainfo = tree.data("metainfo/" + kAppId + ".metainfo.xml");
    const QString libraryEntry = tree.data("applications/" SONARCH_LIBRARY_APP_ID ".desktop");
    ASSERT_TRUE(QFile::exists(entry));
    ASSERT_TRUE(QFile::exists(libraryEntry));
    ASSERT_TRUE(QFile::exists(metainfo));

    const auto values = desktopEntry(entry);
    EXPECT_EQ(values.value("Exec"), "qvplayer %U");
    EXPECT_TRUE(QFile::exists(tree.bin(values.value("Exec").section(' ', 0, 0))));
    EXPECT_TRUE(QFile::exists(tree.bin(values.value("TryExec"))));
    EXPECT_EQ(values.value("Categories"), "AudioVideo;Audio;Player;");
    const QStringList types = values.value("MimeType").split(';', Qt::SkipEmptyParts);
    EXPECT_TRUE(types.contains("x-content/audio-cdda"));
    EXPECT_TRUE(types.contains("application/x-cue"));
    EXPECT_FALSE(values.value("Keywords").isEmpty());
    EXPECT_TRUE(
        QFile::exists(tree.data("icons/hicolor/48x48/apps/" + values.value("Icon") + ".png")))
        << "Icon= names the theme's icon";

    // The library window has an entry of its own, on the same icon.
    const auto library = desktopEntry(libraryEntry);
    EXPECT_EQ(library.value("Name"), "Sonarch Library");
    EXPECT_EQ(library.value("Exec"), "qvlibrary");
    EXPECT_TRUE(QFile::exists(tree.bin(library.value("TryExec"))));
    EXPECT_EQ(library.value("Icon"), values.value("Icon"));
    EXPECT_EQ(desktopActions(libraryEntry).value("add").value("Exec"), "qvlibrary --add");

    EXPECT_EQ(elementTexts(metainfo, "id"), QStringList{kAppId});
    EXPECT_EQ(elementTexts(metainfo, "launchable"), QStringList{kAppId + ".desktop"});
    const QStringList binaries = elementTexts(metainfo, "binary");
    EXPECT_EQ(binaries, (QStringList{"qvplayer", "qvlibrary", "qvlib", "qvmci"}));
    for (const QString& binary : binaries) {
        EXPECT_TRUE(QFile::exists(tree.bin(binary))) << binary.toStdString();
    }
    EXPECT_TRUE(elementTexts(metainfo, "mediatype").contains("x-content/audio-cdda"));
    EXPECT_EQ(elementTexts(metainfo, "url"), QStringList{SONARCH_WEB_PAGE})
        << "the web page the build was given, as the about box names it";
    for (const QString& image : elementTexts(metainfo, "image")) {
        // Screenshots are published from docs/ under the same names.
        EXPECT_TRUE(QFile::exists(QString(SOURCE_DIR "/docs/") + image.section('/', -1)))
            << image.toStdString();
    }

    if (!haveProgram("desktop-file-validate") || !haveProgram("appstreamcli")) {
        GTEST_SKIP() << "desktop-file-validate or appstreamcli is missing (scripts/setup.sh "
                        "installs desktop-file-utils and appstream)";
    }
    for (const QString& each : {entry, libraryEntry}) {
        const ProgramRun desktop = run("desktop-file-validate", {each});
        EXPECT_EQ(desktop.exitCode, 0) << (desktop.out + desktop.err).toStdString();
        EXPECT_TRUE(desktop.out.trimmed().isEmpty()) << desktop.out.toStdString();
    }
    const ProgramRun appstream = run("appstreamcli", {"validate", "--no-net", metainfo});
    EXPECT_EQ(appstream.exitCode, 0) << (appstream.out + appstream.err).toStdString();
}

TEST(InstalledTree, IconsAreTheSizesTheirFoldersSay) {
    ASSERT_INSTALLED();
    const QString theme = InstalledTree::get().data("icons/hicolor");
    QSet<int> sizes;
    QDirIterator files(theme, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString folder = QDir(theme).relativeFilePath(path).section('/', 0, 0);
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(QFileInfo(path).completeBaseName(), "sonarch-qvplayer");
        if (folder == "scalable") {
            QXmlStreamReader svg(readText(path));
            while (svg.readNext() != QXmlStreamReader::StartElement && !svg.atEnd()) {
            }
            EXPECT_EQ(svg.name().toString(), "svg");
            const QStringList box = svg.attributes().value("viewBox").toString().split(' ');
            ASSERT_EQ(box.size(), 4);
            EXPECT_EQ(box[2], box[3]) << "a square drawing";
            continue;
        }
        const QRegularExpressionMatch size = QRegularExpression("^(\\d+)x(\\d+)$").match(folder);
        ASSERT_TRUE(size.hasMatch()) << folder.toStdString();
        const QImage image(path, "PNG");
        EXPECT_EQ(image.width(), size.captured(1).toInt());
        EXPECT_EQ(image.height(), size.captured(2).toInt());
        sizes << image.width();
    }
    EXPECT_EQ(sizes, (QSet<int>{16, 22, 24, 32, 48, 64, 128, 256}));
    EXPECT_TRUE(QFile::exists(theme + "/scalable/apps/sonarch-qvplayer.svg"));
    EXPECT_TRUE(QImage(theme + "/64x64/apps/sonarch-qvplayer.png") ==
                QImage(SOURCE_DIR "/resources/skin/icon.png"))
        << "the theme's icon is the window's icon";
}

// The long options a text names; in a manual page "\-" is a hyphen.
QSet<QString> longOptions(QString text) {
    text.replace("\\-", "-");
    QSet<QString> options;
    auto matches = QRegularExpression("--[a-z][a-z-]*[a-z]").globalMatch(text);
    while (matches.hasNext()) {
        options << matches.next().captured();
    }
    return options;
}

std::string sorted(const QSet<QString>& words) {
    QStringList list(words.begin(), words.end());
    list.sort();
    return list.join(' ').toStdString();
}

QString withoutRoffComments(const QString& page) {
    QStringList kept;
    for (const QString& line : page.split('\n')) {
        if (!line.startsWith(".\\\"")) {
            kept << line;
        }
    }
    return kept.join('\n');
}

TEST(InstalledTree, ManualPagesNameTheOptionsOfHelp) {
    ASSERT_INSTALLED();
    const InstalledTree& tree = InstalledTree::get();
    const ProgramRun version = run(tree.bin("qvplayer"), {"--version"});
    const QString projectVersion = version.out.trimmed().section(' ', 1);
    ASSERT_FALSE(projectVersion.isEmpty());
    for (const QString program : {"qvplayer", "qvlibrary", "qvlib", "qvmci"}) {
        SCOPED_TRACE(program.toStdString());
        const ProgramRun help = run(tree.bin(program), {"--help"});
        ASSERT_EQ(help.exitCode, 0) << help.err.toStdString();
        const QString page = withoutRoffComments(readText(tree.manPage(program)));
        ASSERT_FALSE(page.isEmpty());
        const QSet<QString> fromHelp = longOptions(help.out);
        const QSet<QString> fromPage = longOptions(page);
        EXPECT_GE(fromHelp.size(), 3);
        EXPECT_EQ(sorted(fromPage), sorted(fromHelp))
            << "the manual page names other options than --help";
        for (const char* section : {".SH OPTIONS", ".SH EXIT STATUS", ".SH EXAMPLES"}) {
            EXPECT_TRUE(page.contains(section)) << section;
        }
        EXPECT_TRUE(page.contains("\"Sonarch CD Player " + projectVersion + "\""))
            << "the page's heading names the version";
    }
    // qvlib's commands: each usage line of --help has its synopsis line in the page.
    QSet<QString> helpCommands, pageCommands;
    for (const QString& line : run(tree.bin("qvlib"), {"--help"}).out.split('\n')) {
        const auto m = QRegularExpression("^(?:usage:)?\\s+qvlib (\\S+)").match(line);
        if (m.hasMatch()) {
            helpCommands << m.captured(1).replace("\\-", "-");
        }
    }
    for (const QString& line : readText(tree.manPage("qvlib")).split('\n')) {
        const auto m = QRegularExpression("^\\.B qvlib (\\S+)").match(line);
        if (m.hasMatch()) {
            pageCommands << m.captured(1).replace("\\-", "-");
        }
    }
    EXPECT_EQ(sorted(helpCommands), "--help add check create import key lookup remove show");
    EXPECT_EQ(sorted(pageCommands), sorted(helpCommands));
}

// A user's folders for the installed player: config, and a private runtime folder.
struct UserFolders {
    UserFolders() {
        QDir(home.path()).mkpath("runtime");
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        return env;
    }
    QString settingsFile() const { return home.filePath("config/qvplayer/player.dat"); }
    QString firstSettingsLine() const { return readText(settingsFile()).section("\r\n", 0, 0); }
    QTemporaryDir home;
};

TEST(InstalledPlayer, KeepsItsSettingsInTheConfigFolderAndFindsTheInstalledDemoLibrary) {
    ASSERT_INSTALLED();
    const InstalledTree& tree = InstalledTree::get();
    ASSERT_TRUE(QFileInfo(tree.bin()).isWritable()) << "the test needs a writable bin folder";
    const ProgramRun version = run(tree.bin("qvplayer"), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("qvplayer ")) << version.out.toStdString();

    UserFolders user;
    const QString shot = user.home.filePath("window.png");
    const ProgramRun first =
        run(tree.bin("qvplayer"), {"--drive", "demo", "--audio", "null", "--screenshot", shot},
            user.environment());
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(QImage(shot).size(), QSize(325, 117));
    EXPECT_FALSE(QFile::exists(tree.bin("player.dat")))
        << "an installed player never writes beside itself, even where it could";
    // The user's own copy of the installed demo library, which users cannot write.
    const QString demoCopy = user.home.filePath("data/qvplayer/demo.dbd");
    EXPECT_EQ(user.firstSettingsLine(), demoCopy);
    EXPECT_EQ(readText(demoCopy), readText(tree.data("qvplayer/demo/demo.dbd")));
    EXPECT_TRUE(QFileInfo(demoCopy).isWritable());

    // A library named once is kept; the demo disc then plays with that one.
    const QString own = user.home.filePath("music.dbd");
    ASSERT_EQ(run(tree.bin("qvlib"), {"create", own}).exitCode, 0);
    for (const QStringList& arguments :
         {QStringList{"--drive", "virtual:03:00:00", "--library", own},
          QStringList{"--drive", "demo"}}) {
        const ProgramRun again = run(
            tree.bin("qvplayer"), arguments + QStringList{"--audio", "null", "--screenshot", shot},
            user.environment());
        ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
        EXPECT_EQ(user.firstSettingsLine(), own) << arguments.join(' ').toStdString();
    }
}

// The values of every [Desktop Action NAME] group, by NAME.
QMap<QString, QMap<QString, QString>> desktopActions(const QString& path) {
    QMap<QString, QMap<QString, QString>> actions;
    QString action;
    const QString prefix = "[Desktop Action ";
    for (const QString& line : readText(path).split('\n')) {
        if (line.startsWith('[')) {
            action = line.startsWith(prefix) ? line.mid(prefix.size()).chopped(1) : QString();
        } else if (!action.isEmpty() && line.contains('=') && !line.startsWith('#')) {
            actions[action].insert(line.section('=', 0, 0), line.section('=', 1));
        }
    }
    return actions;
}

TEST(InstalledPlayer, TheDesktopEntrysActionsAreCommandsTheInstalledPlayerTakes) {
    ASSERT_INSTALLED();
    const InstalledTree& tree = InstalledTree::get();
    const QString entry = tree.data("applications/" + kAppId + ".desktop");
    const QStringList listed = desktopEntry(entry).value("Actions").split(';', Qt::SkipEmptyParts);
    EXPECT_EQ(listed, (QStringList{"play-pause", "next", "previous", "stop"}));
    const auto actions = desktopActions(entry);
    EXPECT_EQ(actions.keys().size(), listed.size()) << "one group for each action listed";

    UserFolders user;
    for (const QString& name : listed) {
        SCOPED_TRACE(name.toStdString());
        const QMap<QString, QString> action = actions.value(name);
        EXPECT_FALSE(action.value("Name").isEmpty());
        const QStringList exec = action.value("Exec").split(' ');
        ASSERT_EQ(exec.size(), 2);
        EXPECT_EQ(exec[0], "qvplayer");
        EXPECT_EQ(exec[1], "--" + name);
        if (name == "play-pause") {
            continue;  // with no player running it starts one
        }
        // No player runs for this user: the command is understood, and it says so.
        const ProgramRun sent = run(tree.bin("qvplayer"), {exec[1]}, user.environment());
        EXPECT_EQ(sent.exitCode, 1);
        EXPECT_EQ(sent.err.trimmed(), "qvplayer: no player is running");
    }
}

TEST(InstalledPlayer, TheDemoLibraryDescribesTheDemoDiscWithItsInstalledCover) {
    ASSERT_INSTALLED();
    const InstalledTree& tree = InstalledTree::get();
    const ProgramRun key = run(tree.bin("qvlib"), {"key", "--drive", "demo"});
    ASSERT_EQ(key.exitCode, 0) << key.err.toStdString();
    const ProgramRun shown = run(tree.bin("qvlib"), {"show", tree.data("qvplayer/demo/demo.dbd"),
                                                     "--key", key.out.trimmed()});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    QStringList rows = shown.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(rows.isEmpty());
    const int coverColumn = rows.takeFirst().split('\t').indexOf("Cover");
    ASSERT_GE(coverColumn, 0);
    EXPECT_EQ(rows.size(), 12);
    for (const QString& row : rows) {
        // Where the installation puts the cover, not where the build keeps it.
        EXPECT_EQ(row.split('\t').value(coverColumn),
                  INSTALL_FULL_DATADIR "/qvplayer/demo/cover.png");
    }
    EXPECT_TRUE(QImage(tree.data("qvplayer/demo/cover.png")) ==
                QImage(SOURCE_DIR "/resources/demo/cover.png"));
}

// The package names of the Build-Depends field of debian/control.
QStringList buildDepends(const QString& control) {
    QStringList names;
    bool inField = false;
    for (const QString& line : control.split('\n')) {
        if (!line.startsWith(' ')) {
            inField = line.startsWith("Build-Depends:");
        }
        if (inField) {
            for (const QString& item : line.section(':', line.startsWith(' ') ? 0 : 1).split(',')) {
                const QString name = item.trimmed().section(' ', 0, 0);
                if (!name.isEmpty()) {
                    names << name;
                }
            }
        }
    }
    return names;
}

TEST(PackageFiles, AgreeWithTheProgramsVersionAndTheSetupScript) {
    ASSERT_INSTALLED();
    const ProgramRun version = run(InstalledTree::get().bin("qvplayer"), {"--version"});
    const QString projectVersion = version.out.trimmed().section(' ', 1);
    ASSERT_FALSE(projectVersion.isEmpty());

    const QString changelog = readText(SOURCE_DIR "/debian/changelog");
    EXPECT_EQ(changelog.section('\n', 0, 0).section('(', 1).section(')', 0, 0), projectVersion)
        << "debian/changelog's newest entry";
    QXmlStreamReader metainfo(
        readText(InstalledTree::get().data("metainfo/" + kAppId + ".metainfo.xml")));
    while (!metainfo.atEnd() && !(metainfo.readNext() == QXmlStreamReader::StartElement &&
                                  metainfo.name() == u"release")) {
    }
    EXPECT_EQ(metainfo.attributes().value("version").toString(), projectVersion)
        << "the metainfo's newest release";

    // The package builds with what the setup script installs, nothing else.
    const QString setup = readText(SOURCE_DIR "/scripts/setup.sh");
    const QString list = setup.section("packages=(", 1).section(')', 0, 0);
    const QStringList setupPackages = list.simplified().split(' ');
    const QStringList depends = buildDepends(readText(SOURCE_DIR "/debian/control"));
    EXPECT_GE(depends.size(), 8);
    for (const QString& name : depends) {
        if (name != "debhelper-compat") {
            EXPECT_TRUE(setupPackages.contains(name)) << name.toStdString();
        }
    }
}

bool playerOnBus() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(
        "org.mpris.MediaPlayer2.sonarch");
}

// A property of the player's MPRIS object, as text; empty when there is no answer.
QString playerProperty(const QString& interface, const QString& name) {
    QDBusMessage get =
        QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.sonarch", "/org/mpris/MediaPlayer2",
                                       "org.freedesktop.DBus.Properties", "Get");
    get << interface << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, kWaitMs);
    return reply.arguments().isEmpty()
               ? QString()
               : reply.arguments().front().value<QDBusVariant>().variant().toString();
}

// The installed player running on the session bus with a user's folders, silent; ended (so
// that it saves its settings) by end() or at the latest when it goes.
class BusPlayer {
public:
    BusPlayer(const QString& program, const UserFolders& user, const QString& drive) {
        m_process.setProcessEnvironment(user.environment());
        m_process.start(program, {"--drive", drive, "--audio", "null"});
        m_started = m_process.waitForStarted(kWaitMs);
    }
    ~BusPlayer() { end(); }
    bool started() const { return m_started; }
    void end() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(kWaitMs);
        }
    }

private:
    QProcess m_process;
    bool m_started = false;
};

TEST(InstalledPlayer, NamesItsInstalledDesktopEntryToTheDesktop) {
    ASSERT_INSTALLED();
    if (!QDBusConnection::sessionBus().isConnected()) {
        GTEST_SKIP() << "no session bus: the test runs under dbus-run-session";
    }
    const InstalledTree& tree = InstalledTree::get();
    UserFolders user;
    BusPlayer player(tree.bin("qvplayer"), user, "demo");
    ASSERT_TRUE(player.started());
    const bool onBus = QTest::qWaitFor(playerOnBus, kWaitMs);
    const QString desktopEntry =
        onBus ? playerProperty("org.mpris.MediaPlayer2", "DesktopEntry") : QString();
    player.end();
    ASSERT_TRUE(onBus) << "the installed player never took its bus name";
    EXPECT_TRUE(QFile::exists(tree.data("applications/" + desktopEntry + ".desktop")))
        << "DesktopEntry '" << desktopEntry.toStdString() << "' names no installed entry";
}

TEST(InstalledPlayer, TheDemoDiscHandedOverToAPlayerWithoutALibraryBringsTheDemoLibrary) {
    ASSERT_INSTALLED();
    if (!QDBusConnection::sessionBus().isConnected()) {
        GTEST_SKIP() << "no session bus: the test runs under dbus-run-session";
    }
    const InstalledTree& tree = InstalledTree::get();
    UserFolders user;
    BusPlayer player(tree.bin("qvplayer"), user, "virtual:03:00:00,04:00:00");
    ASSERT_TRUE(player.started());
    // Started, with its disc read: it answers a later start at once.
    const bool onBus = QTest::qWaitFor(
        [] {
            return playerOnBus() &&
                   playerProperty("org.mpris.MediaPlayer2.Player", "PlaybackStatus") == "Playing";
        },
        kWaitMs);
    const ProgramRun second = run(tree.bin("qvplayer"), {"--drive", "demo"}, user.environment());
    player.end();
    ASSERT_TRUE(onBus) << "the installed player never took its bus name";
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(user.firstSettingsLine(), user.home.filePath("data/qvplayer/demo.dbd"))
        << "as a first start with --drive demo";
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
