// Plays a generated CUE/BIN image at real pace, as a listener would, through the null
// output and through the sound server (a private PulseAudio with a null sink), and
// reports for each run the CPU time per minute of audio, the context switches, the
// underruns and how far the position reported lags the time played. When mpv is
// installed, it plays the same audio (the image's raw PCM) in the same run, and the
// ratios are printed.
//
//   realtime_playback_bench [--seconds N] [--runs K] [--settle S] [--no-mpv]
//                           [--no-monitor] [--cases LIST]
//
// LIST picks some of null, mpv-null, system, qvmci, mpv-pulse, demo, window (the whole
// player with its window on the offscreen platform, null output), window-system (the same
// through the sound server), and the player on a desktop: desktop-stopped,
// desktop-tray, desktop-playing, desktop-mpv, desktop-mpv-scripts (or desktop for these
// five); all by default, comma separated. A long run without mpv: --seconds 600 --cases
// null,system. The cases run in turn, K rounds of them, and medians are printed.
//
// The desktop cases run the real qvplayer on a private X display (Xvfb, openbox and an
// XEmbed tray) with a private session bus on which it registers for MPRIS, on the
// generated image with the null output. Each is put into its pose through the bus
// (playerctl stop or play) and its settings file (the tray flag), left S seconds to
// settle (5 by default), and its CPU time counted from /proc over the next N seconds:
// stopped with the window shown, stopped and hidden in the tray (goals: 0.02 and 0.01 s
// a minute), and playing with the window shown, against mpv --load-scripts=no --ao=null
// measured the same way (goal 0.25x) and, for comparison, mpv with its scripts. The X
// server's and the bus's CPU time over the same window are printed beside.
//
// The ratios printed hold what plays through the sound server against mpv --ao=pulse on
// the same sink in the same run (qvmci: goal 0.15; the player window: goal 0.25), and what
// plays silently against mpv --ao=null.
//
// While a player plays through the sound server, pacat records the null sink's monitor,
// which keeps the sink running as a sound card runs and shows every gap in the sound.
// --no-monitor leaves the sink to itself: an idle null sink takes up to a second or two to
// settle its latency for a new stream, which then shows as start-up lag.
//
// Each player of the other cases runs in a process of its own (this program again, or
// mpv), so the CPU time is the whole process's, start-up included, as the kernel counts it.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include "audio/audio_output_factory.h"
#include "device/drives/drive_factory.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "player_on_desktop.h"
#include "support/disc_images.h"
#include "support/sound_server.h"

namespace {

using namespace sonarch;
using namespace sonarch::testing;
using sonarch::bench::DesktopRun;
using sonarch::bench::PlayerOnDesktop;
using sonarch::bench::PlayerPose;
using sonarch::bench::processCpu;
using namespace std::chrono;

// The position is read once the start is well behind, and again at the end: the first
// lag is the start-up latency, its growth after that is time lost.
constexpr auto kSettled = seconds(5);
// A 10 ms window of the sink's monitor counts as sound when it holds a loud sample.
constexpr int kWindow = 441;
constexpr int kLoud = 2000;

// ---- the player, in a child process ------------------------------------------------

// Plays `seconds` of the drive through the output and prints one line:
// "underruns lagAtSettleMs lagAtEndMs".
int playChild(const std::string& output, const std::string& driveName, int seconds) {
    auto drive = openDrive(driveName);
    if (!drive.ok()) {
        std::cerr << drive.error() << "\n";
        return 1;
    }
    SteadyClock clock;
    auto audio = openAudioOutput(output, clock);
    if (!audio.ok() || !audio.value().opened) {
        std::cerr << (audio.ok() ? audio.value().error : audio.error()) << "\n";
        return 1;
    }
    AudioOutput& out = *audio.value().output;
    std::int64_t settleLag = 0;
    std::int64_t endLag = 0;
    {
        CdAudioDevice device(*drive.value(), out);
        device.send("open cdaudio alias cd wait shareable", 0);
        device.send("set cd time format milliseconds", 0);
        const auto start = steady_clock::now();
        if (device.send("play cd from 0", 0).code != 0) {
            std::cerr << "play failed\n";
            return 1;
        }
        auto lagAt = [&](steady_clock::duration when) {
            std::this_thread::sleep_until(start + when);
            const std::int64_t position = std::stoll(device.send("status cd position", 64).reply);
            return duration_cast<milliseconds>(steady_clock::now() - start).count() - position;
        };
        settleLag = seconds > 2 * kSettled.count() ? lagAt(kSettled) : 0;
        endLag = lagAt(std::chrono::seconds(seconds));
        device.send("stop cd", 0);
    }
    std::cout << out.underruns() << " " << settleLag << " " << endLag << std::endl;
    return 0;
}

// ---- measuring a child process ------------------------------------------------------

struct Usage {
    bool ok = false;
    double cpuSeconds = 0;
    long switches = 0;
    std::string output;  // what the child printed
};

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// What a player reads on its standard input: `first` at once, `last` after `hold`, then
// the end of the input.
struct Script {
    std::string first, last;
    std::chrono::seconds hold{0};
};

// Runs argv to its end, with its standard output read through a pipe and, when a script
// is given, its standard input written from one.
Usage runMeasured(const std::vector<std::string>& argv, const std::optional<Script>& script) {
    Usage usage;
    int fds[2];
    if (pipe(fds) != 0) {
        return usage;
    }
    int in[2] = {-1, -1};
    if (script && pipe2(in, O_CLOEXEC) != 0) {
        close(fds[0]);
        close(fds[1]);
        return usage;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (script) {
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::thread writer;
    if (script) {
        close(in[0]);
        if (spawned == 0) {
            writer = std::thread([fd = in[1], &script] {
                auto send = [fd](const std::string& text) {
                    return write(fd, text.data(), text.size()) == ssize_t(text.size());
                };
                if (send(script->first)) {
                    std::this_thread::sleep_for(script->hold);
                    send(script->last);
                }
                close(fd);
            });
        } else {
            close(in[1]);
        }
    }
    if (spawned != 0) {
        close(fds[0]);
        return usage;
    }
    char buffer[256];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        usage.output.append(buffer, std::size_t(n));
    }
    close(fds[0]);
    if (writer.joinable()) {
        writer.join();
    }
    int status = 0;
    rusage r{};
    if (wait4(pid, &status, 0, &r) != pid) {
        return usage;
    }
    usage.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    usage.cpuSeconds = seconds(r.ru_utime) + seconds(r.ru_stime);
    usage.switches = r.ru_nvcsw + r.ru_nivcsw;
    return usage;
}

// ---- what reached the sink ----------------------------------------------------------

// Records the sink's monitor and finds the gaps in the sound as it arrives: runs of
// silence after the sound began that end in sound again.
class MonitorGaps {
public:
    MonitorGaps(const PrivateSoundServer& server) {
        if (pipe2(m_fds, O_CLOEXEC) != 0) {
            return;
        }
        m_recorder = std::make_unique<Child>(
            std::vector<std::string>{"pacat", "--record", "--server=" + server.server(),
                                     "--device=sonarch_test.monitor", "--format=s16le",
                                     "--rate=44100", "--channels=2", "--raw", "--latency-msec=20"},
            m_fds[1], -1);
        close(m_fds[1]);
        m_reader = std::thread([this] { readMonitor(); });
    }
    ~MonitorGaps() {
        if (m_recorder) {
            m_recorder->stop();
        }
        if (m_reader.joinable()) {
            m_reader.join();
        }
        close(m_fds[0]);
    }
    // The recorder has delivered a second: the sink runs as a sound card would.
    bool waitUntilRunning() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 15s, [this] { return m_windows >= 100 || m_ended; }) &&
               !m_ended;
    }
    int gaps() {
        std::lock_guard lock(m_mutex);
        return m_gaps;
    }
    int gapMs() {
        std::lock_guard lock(m_mutex);
        return m_gapWindows * 10;
    }

private:
    void readMonitor() {
        std::vector<std::uint8_t> bytes;
        std::uint8_t buffer[16384];
        ssize_t n;
        while ((n = read(m_fds[0], buffer, sizeof buffer)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
            const std::size_t windowBytes = std::size_t(kWindow) * 4;
            std::size_t at = 0;
            for (; at + windowBytes <= bytes.size(); at += windowBytes) {
                bool loud = false;
                for (std::size_t i = at; i < at + windowBytes; i += 4) {
                    const auto left = static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
                    loud = loud || std::abs(left) > kLoud;
                }
                countWindow(loud);
            }
            bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(at));
        }
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }
    void countWindow(bool loud) {
        std::lock_guard lock(m_mutex);
        ++m_windows;
        if (loud) {
            if (m_heardSound && m_silent > 0) {
                ++m_gaps;
                m_gapWindows += m_silent;
            }
            m_heardSound = true;
            m_silent = 0;
        } else if (m_heardSound) {
            ++m_silent;
        }
        m_changed.notify_all();
    }

    int m_fds[2] = {-1, -1};
    std::unique_ptr<Child> m_recorder;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    long m_windows = 0;
    bool m_heardSound = false;
    int m_silent = 0;
    int m_gaps = 0;
    int m_gapWindows = 0;
    bool m_ended = false;
};

// ---- the runs -----------------------------------------------------------------------

struct RunResult {
    bool ok = false;
    double cpuPerMinute = 0;
    double switchesPerMinute = 0;
    std::optional<long> underruns;
    std::optional<double> startLag, lost;  // seconds
    std::optional<int> gaps;
    std::optional<double> serverPerMinute;
};

struct Case {
    std::string name;
    std::vector<std::string> argv;
    bool sonarch = false;  // the child of this program, which reports what it saw
    bool throughServer = false;
    std::optional<Script> script = std::nullopt;
};

RunResult runCase(const Case& c, int secondsPlayed, const PrivateSoundServer* server,
                  bool recordMonitor) {
    RunResult result;
    std::unique_ptr<MonitorGaps> monitor;
    if (c.throughServer && recordMonitor && onPath("pacat")) {
        monitor = std::make_unique<MonitorGaps>(*server);
        if (!monitor->waitUntilRunning()) {
            monitor.reset();
        }
    }
    const double serverBefore = c.throughServer ? processCpu(server->pid()) : 0;
    const Usage usage = runMeasured(c.argv, c.script);
    if (!usage.ok) {
        std::cerr << c.name << ": the player failed\n";
        return result;
    }
    result.ok = true;
    const double minutes = secondsPlayed / 60.0;
    result.cpuPerMinute = usage.cpuSeconds / minutes;
    result.switchesPerMinute = double(usage.switches) / minutes;
    if (c.throughServer) {
        result.serverPerMinute = (processCpu(server->pid()) - serverBefore) / minutes;
    }
    if (c.sonarch) {
        long underruns = 0;
        long settleLag = 0;
        long endLag = 0;
        std::istringstream(usage.output) >> underruns >> settleLag >> endLag;
        result.underruns = underruns;
        if (secondsPlayed > 2 * kSettled.count()) {
            result.startLag = settleLag / 1000.0;
            result.lost = (endLag - settleLag) / 1000.0;
        }
    }
    if (monitor) {
        // What was still in the pipe arrives once the recorder has been stopped.
        result.gaps = monitor->gaps();
    }
    return result;
}

// One column per figure; "-" where a player has nothing to say.
template <class T>
std::string cell(const std::optional<T>& value, int decimals) {
    if (!value) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, double(*value));
    return text;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string firstLineOf(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            const std::size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}

void printMachine(int secondsPlayed, int runs) {
    utsname u{};
    uname(&u);
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
    std::cout << "Real-pace playback, " << secondsPlayed << " s of audio per run, " << runs
              << " run(s), medians shown\n"
              << "date: " << date << "; machine: " << firstLineOf("/proc/cpuinfo", "model name")
              << ", " << std::thread::hardware_concurrency() << " CPUs, " << u.sysname << " "
              << u.release << "\n\n";
}

// A CUE/BIN image of one track holding `seconds` of a two-note chord.
std::string writeImage(const TempDir& dir, int seconds) {
    const std::int64_t sectors = std::int64_t(seconds) * 75;
    std::ofstream bin(dir.file("disc.bin"), std::ios::binary);
    std::vector<char> sector(kBytesPerFrame);
    for (std::int64_t s = 0; s < sectors; ++s) {
        for (int i = 0; i < kSamplesPerFrame; ++i) {
            const double t = double(s * kSamplesPerFrame + i) / kSampleRate;
            const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(
                std::lround(6000 * std::sin(2 * std::numbers::pi * 440 * t) +
                            4000 * std::sin(2 * std::numbers::pi * 554.37 * t))));
            for (int channel = 0; channel < 2; ++channel) {
                sector[std::size_t(i * 4 + channel * 2)] = static_cast<char>(v & 0xff);
                sector[std::size_t(i * 4 + channel * 2 + 1)] = static_cast<char>(v >> 8);
            }
        }
        bin.write(sector.data(), std::streamsize(sector.size()));
    }
    std::ofstream(dir.file("disc.cue"))
        << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    return dir.file("disc.cue");
}

// The same audio as a disc of three tracks, as the player wants it: a disc of one track
// is never read or played.
std::string writeThreeTrackCue(const TempDir& dir, int seconds) {
    std::ofstream cue(dir.file("three.cue"));
    cue << "FILE \"disc.bin\" BINARY\n";
    for (int track = 0; track < 3; ++track) {
        const int start = seconds * track / 3;
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:00\n",
                      track + 1, start / 60, start % 60);
        cue << line;
    }
    return dir.file("three.cue");
}

std::vector<std::string> mpvCommand(const std::string& ao, const std::string& raw, int seconds) {
    return {"mpv",
            "--no-config",
            "--really-quiet",
            "--no-video",
            "--ao=" + ao,
            "--demuxer=rawaudio",
            "--demuxer-rawaudio-format=s16le",
            "--demuxer-rawaudio-rate=44100",
            "--demuxer-rawaudio-channels=2",
            "--length=" + std::to_string(seconds),
            raw};
}

// The table of the cases played start to end, and their ratios to mpv.
void printPlaybackTable(const std::vector<Case>& cases,
                        std::map<std::string, std::vector<RunResult>>& results, bool withMpv) {
    std::printf("%-40s %9s %10s %9s %8s %8s %6s %10s\n", "player", "CPU s/min", "ctxsw/min",
                "underruns", "start s", "lost s", "gaps", "server s/min");
    std::map<std::string, double> cpu;
    for (const Case& c : cases) {
        const std::vector<RunResult>& all = results[c.name];
        std::vector<double> cpus, switches;
        std::optional<long> underruns;
        std::optional<int> gaps;
        std::vector<double> starts, losts, servers;
        bool ok = true;
        for (const RunResult& r : all) {
            ok = ok && r.ok;
            cpus.push_back(r.cpuPerMinute);
            switches.push_back(r.switchesPerMinute);
            if (r.underruns) {
                underruns = underruns.value_or(0) + *r.underruns;
            }
            if (r.gaps) {
                gaps = gaps.value_or(0) + *r.gaps;
            }
            if (r.startLag) {
                starts.push_back(*r.startLag);
                losts.push_back(*r.lost);
            }
            if (r.serverPerMinute) {
                servers.push_back(*r.serverPerMinute);
            }
        }
        if (!ok) {
            std::printf("%-40s failed\n", c.name.c_str());
            continue;
        }
        auto medianOf = [](const std::vector<double>& v) {
            return v.empty() ? std::nullopt : std::optional<double>(median(v));
        };
        cpu[c.name] = median(cpus);
        std::printf("%-40s %9.3f %10.0f %9s %8s %8s %6s %10s\n", c.name.c_str(), median(cpus),
                    median(switches), cell(underruns, 0).c_str(), cell(medianOf(starts), 2).c_str(),
                    cell(medianOf(losts), 2).c_str(), cell(gaps, 0).c_str(),
                    cell(medianOf(servers), 3).c_str());
    }
    std::printf(
        "\nunderruns and gaps (silences in the sink's monitor) are summed over the runs; start: "
        "how far the position\nlags the time played after %lld s; lost: how much further it "
        "lags at the end.\n",
        static_cast<long long>(kSettled.count()));
    auto ratio = [&](const std::string& ours, const std::string& theirs, double goal) {
        if (cpu.count(ours) && cpu.count(theirs) && cpu[theirs] > 0) {
            const double r = cpu[ours] / cpu[theirs];
            std::printf("%-58s %5.2f  (goal <= %.2f: %s)\n", (ours + " / " + theirs).c_str(), r,
                        goal, r <= goal ? "met" : "NOT met");
        }
    };
    if (withMpv) {
        std::printf("\nCPU ratios\n");
        ratio("sonarch, null output", "mpv --ao=null", 0.2);
        ratio("sonarch, sound server", "mpv --ao=pulse", 0.15);
        ratio("qvmci, sound server", "mpv --ao=pulse", 0.15);
        ratio("sonarch window, demo disc, sound server", "mpv --ao=pulse", 0.25);
        ratio("sonarch window, demo disc, null output", "mpv --ao=null", 0.3);
    } else {
        std::printf("\nmpv is not installed: no ratios (apt-get install mpv to compare)\n");
    }
}

// ---- the player on a desktop ----------------------------------------------------------

struct DesktopCase {
    std::string name;
    std::optional<PlayerPose> pose;  // the player; otherwise `program`
    QStringList program;
    std::optional<double> goal;  // CPU s/min
};

constexpr const char* kDesktopPlaying = "player window, playing, null output";
constexpr const char* kDesktopMpv = "mpv --load-scripts=no --ao=null";
constexpr const char* kDesktopMpvScripts = "mpv --ao=null, its scripts loaded";

// mpv on the image's raw PCM, played to its end unless ended before.
QStringList mpvOnDesktop(const std::string& raw, bool scripts) {
    QStringList argv{"mpv",
                     "--no-config",
                     "--really-quiet",
                     "--no-video",
                     "--ao=null",
                     "--demuxer=rawaudio",
                     "--demuxer-rawaudio-format=s16le",
                     "--demuxer-rawaudio-rate=44100",
                     "--demuxer-rawaudio-channels=2"};
    if (!scripts) {
        argv << "--load-scripts=no";
    }
    return argv << QString::fromStdString(raw);
}

std::vector<DesktopCase> desktopCasesWanted(const std::function<bool(const std::string&)>& wanted,
                                            bool withMpv, const TempDir& dir) {
    std::vector<DesktopCase> cases;
    if (wanted("desktop-stopped")) {
        cases.push_back({"player window, stopped, shown", PlayerPose::StoppedShown, {}, 0.02});
    }
    if (wanted("desktop-tray")) {
        cases.push_back(
            {"player, stopped, hidden in the tray", PlayerPose::StoppedInTray, {}, 0.01});
    }
    if (wanted("desktop-playing")) {
        cases.push_back({kDesktopPlaying, PlayerPose::PlayingShown, {}, std::nullopt});
    }
    if (withMpv && wanted("desktop-mpv")) {
        cases.push_back(
            {kDesktopMpv, std::nullopt, mpvOnDesktop(dir.file("disc.bin"), false), std::nullopt});
    }
    if (withMpv && wanted("desktop-mpv-scripts")) {
        cases.push_back({kDesktopMpvScripts, std::nullopt, mpvOnDesktop(dir.file("disc.bin"), true),
                         std::nullopt});
    }
    return cases;
}

void printDesktopTable(const std::vector<DesktopCase>& cases,
                       std::map<std::string, std::vector<DesktopRun>>& results, int settleSeconds,
                       int windowSeconds) {
    std::printf(
        "\nOn a private desktop (Xvfb, openbox, trayer, a session bus with the player on MPRIS),\n"
        "CPU time over %d s after %d s of settling, per minute: from /proc/PID/stat (10 ms "
        "ticks),\n"
        "medians with the lowest and the highest run; run: the threads' time on a CPU\n"
        "(/proc/PID/task/*/schedstat, to the nanosecond), median; X, bus: the X server's and\n"
        "the session bus's CPU time in the same window (stat), median\n",
        windowSeconds, settleSeconds);
    std::printf("%-40s %9s %7s %7s %9s %8s %9s %s\n", "program", "CPU s/min", "lowest", "highest",
                "run s/min", "X s/min", "bus s/min", "goal");
    std::map<std::string, double> cpu;
    for (const DesktopCase& c : cases) {
        std::vector<double> cpus, runs, xServer, bus;
        bool ok = true;
        for (const DesktopRun& r : results[c.name]) {
            ok = ok && r.ok;
            cpus.push_back(r.cpuPerMinute);
            runs.push_back(r.runPerMinute);
            xServer.push_back(r.xServerPerMinute);
            bus.push_back(r.busPerMinute);
        }
        if (!ok || cpus.empty()) {
            std::printf("%-40s failed\n", c.name.c_str());
            continue;
        }
        cpu[c.name] = median(cpus);
        std::string goal;
        if (c.goal) {
            char text[48];
            std::snprintf(text, sizeof text, "<= %.2f: %s", *c.goal,
                          cpu[c.name] <= *c.goal + 1e-9 ? "met" : "NOT met");
            goal = text;
        }
        std::printf("%-40s %9.3f %7.3f %7.3f %9.4f %8.3f %9.3f %s\n", c.name.c_str(), cpu[c.name],
                    *std::min_element(cpus.begin(), cpus.end()),
                    *std::max_element(cpus.begin(), cpus.end()), median(runs), median(xServer),
                    median(bus), goal.c_str());
    }
    auto ratio = [&](const std::string& theirs, std::optional<double> goal) {
        if (cpu.count(kDesktopPlaying) && cpu.count(theirs) && cpu[theirs] > 0) {
            const double r = cpu[kDesktopPlaying] / cpu[theirs];
            std::printf("%-40s %5.2f", (std::string("playing / ") + theirs).c_str(), r);
            if (goal) {
                std::printf("  (goal <= %.2f: %s)", *goal, r <= *goal + 1e-9 ? "met" : "NOT met");
            }
            std::printf("\n");
        }
    };
    ratio(kDesktopMpv, 0.25);
    ratio(kDesktopMpvScripts, std::nullopt);
}

int usage() {
    std::cerr << "usage: realtime_playback_bench [--seconds N] [--runs K] [--no-mpv] "
                 "[--no-monitor] "
                 "[--settle S] [--cases null,mpv-null,system,qvmci,mpv-pulse,demo,window,"
                 "window-system,desktop-stopped,desktop-tray,desktop-playing,desktop-mpv,"
                 "desktop-mpv-scripts,desktop]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--child") {
        return playChild(argv[2], argv[3], std::atoi(argv[4]));
    }
    int secondsPlayed = 60;
    int runs = 1;
    int settleSeconds = 5;
    bool withMpv = true;
    bool recordMonitor = true;
    std::string picked = "null,mpv-null,system,qvmci,mpv-pulse,demo,window,window-system,desktop";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            secondsPlayed = std::atoi(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (arg == "--settle" && i + 1 < argc) {
            settleSeconds = std::atoi(argv[++i]);
        } else if (arg == "--cases" && i + 1 < argc) {
            picked = "," + std::string(argv[++i]) + ",";
        } else if (arg == "--no-monitor") {
            recordMonitor = false;
        } else if (arg == "--no-mpv") {
            withMpv = false;
        } else {
            return usage();
        }
    }
    if (secondsPlayed < 1 || runs < 1 || settleSeconds < 0) {
        return usage();
    }
    withMpv = withMpv && onPath("mpv");
    // The desktop cases wait on their programs through Qt's processes.
    QCoreApplication application(argc, argv);

    TempDir dir;
    // Long enough for a desktop case's start, settling and window.
    const int imageSeconds = secondsPlayed + settleSeconds + 60;
    const std::string cue = writeImage(dir, imageSeconds);
    const std::string threeTracks = writeThreeTrackCue(dir, imageSeconds);
    const std::string self = "/proc/self/exe";
    const std::string selfPath = [&] {
        char path[4096];
        const ssize_t n = readlink(self.c_str(), path, sizeof path - 1);
        return n > 0 ? std::string(path, std::size_t(n)) : std::string(argv[0]);
    }();
    auto sonarchCase = [&](const std::string& name, const std::string& output,
                           const std::string& drive) {
        return Case{name,
                    {selfPath, "--child", output, drive, std::to_string(secondsPlayed)},
                    true,
                    output == "system"};
    };

    EnvironmentGuard environment;
    TempDir serverDir;
    PrivateSoundServer server(serverDir);
    auto wanted = [&](const std::string& key) {
        const bool desktop = key.rfind("desktop-", 0) == 0 &&
                             ("," + picked + ",").find(",desktop,") != std::string::npos;
        return desktop || ("," + picked + ",").find("," + key + ",") != std::string::npos;
    };
    std::vector<Case> cases;
    if (wanted("null")) {
        cases.push_back(sonarchCase("sonarch, null output", "null", cue));
    }
    if (withMpv && wanted("mpv-null")) {
        cases.push_back({"mpv --ao=null", mpvCommand("null", dir.file("disc.bin"), secondsPlayed),
                         false, false});
    }
    if (server.ready()) {
        if (wanted("system")) {
            cases.push_back(sonarchCase("sonarch, sound server", "system", cue));
        }
        if (wanted("qvmci")) {
            // The device shell as a user runs it, its commands typed on its input.
            cases.push_back({"qvmci, sound server",
                             {QVMCI, "--drive", cue, "--audio", "system"},
                             false,
                             true,
                             Script{"open cdaudio alias cd wait shareable\n"
                                    "set cd time format milliseconds\nplay cd from 0\n",
                                    "stop cd\nclose cd\n", std::chrono::seconds(secondsPlayed)}});
        }
        if (withMpv && wanted("mpv-pulse")) {
            cases.push_back({"mpv --ao=pulse",
                             mpvCommand("pulse", dir.file("disc.bin"), secondsPlayed), false,
                             true});
        }
    } else {
        std::cerr << "no private sound server (" << server.why()
                  << "): the sound server's runs are left out\n";
    }
    if (wanted("demo")) {
        cases.push_back(sonarchCase("sonarch, demo disc, null output", "null", "demo"));
    }
    // The whole player, its window and poll included, ended by SIGTERM as a desktop ends
    // it at logout; on its own runtime folder and off any bus, so that a player the user
    // runs is left alone.
    auto windowCase = [&](const std::string& name, const std::string& audio) {
        const std::string settings = dir.file("window-" + audio);
        mkdir(settings.c_str(), 0700);
        return Case{name,
                    {"env", "-u", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM=offscreen",
                     "XDG_RUNTIME_DIR=" + settings, "timeout", "--preserve-status", "-s", "TERM",
                     std::to_string(secondsPlayed), QVPLAYER, "--drive", "demo", "--audio", audio,
                     "--settings-dir", settings},
                    false,
                    audio == "system"};
    };
    if (wanted("window")) {
        cases.push_back(windowCase("sonarch window, demo disc, null output", "null"));
    }
    if (server.ready() && wanted("window-system")) {
        cases.push_back(windowCase("sonarch window, demo disc, sound server", "system"));
    }

    std::vector<DesktopCase> desktopCases = desktopCasesWanted(wanted, withMpv, dir);
    std::unique_ptr<PlayerOnDesktop> desktop;
    if (!desktopCases.empty()) {
        desktop = std::make_unique<PlayerOnDesktop>();
        if (!desktop->failure().empty()) {
            std::cerr << "no desktop (" << desktop->failure()
                      << "): the desktop cases are left out\n";
            desktopCases.clear();
        }
    }

    printMachine(secondsPlayed, runs);
    std::map<std::string, std::vector<RunResult>> results;
    std::map<std::string, std::vector<DesktopRun>> desktopResults;
    for (int run = 0; run < runs; ++run) {
        for (const Case& c : cases) {
            std::cerr << "run " << run + 1 << ": " << c.name << "\n";
            results[c.name].push_back(runCase(c, secondsPlayed, &server, recordMonitor));
        }
        for (const DesktopCase& c : desktopCases) {
            std::cerr << "run " << run + 1 << ": " << c.name << "\n";
            DesktopRun measured =
                c.pose ? desktop->measurePlayer(QVPLAYER, threeTracks, *c.pose, settleSeconds,
                                                secondsPlayed)
                       : desktop->measureProgram(c.program, settleSeconds, secondsPlayed);
            if (!measured.ok) {
                std::cerr << c.name << ": " << measured.why << "\n";
            }
            desktopResults[c.name].push_back(measured);
        }
    }

    if (!cases.empty()) {
        printPlaybackTable(cases, results, withMpv);
    }
    if (!desktopCases.empty()) {
        printDesktopTable(desktopCases, desktopResults, settleSeconds, secondsPlayed);
    }
    return 0;
}
