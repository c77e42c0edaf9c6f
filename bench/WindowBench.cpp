// tolvane-bench-window: the window as a user meets it, in process on the offscreen platform.
// Prints tab-separated rows as tolvane-bench-list does: label, median, min, 95th percentile, max,
// runs, runs at or over the target, target (units in the label).
//   start to a shown window: this program started again for every run (--startup-once prints the
//   milliseconds from the parent's clock reading before the start to the first paint);
//   1,000 dropped WAV and MP3 files listed, as a drop lists them;
//   resident memory of the idle window after start-up;
//   while two rows convert: how soon a posted event is handled, and how soon Stop ends the run.
#include "app/BatchDriver.h"
#include "app/FrmMain.h"
#include "app/QtJapanese.h"
#include "app/SingleInstance.h"
#include "bench/BenchReport.h"
#include "engine/C_mp3acm.h"
#include "engine/WaveHeader.h"
#include "support/FileUtil.h"
#include "support/Settings.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using BenchReport::Clock;

constexpr int kStartRuns = 15;
constexpr int kDropRuns = 5;
constexpr int kDropFiles = 1000;

double MonotonicMs() {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

// A PCM WAV of pFrames 16-bit stereo frames at 44.1 kHz.
void WriteWav(const std::string& pPath, std::uint32_t pFrames) {
    const std::uint32_t data = pFrames * 4;
    const std::vector<std::uint8_t> header = WaveHeader::Build(44100, 16, 2, false, 36 + data, data);
    std::vector<std::int16_t> samples(std::size_t(pFrames) * 2);
    for (std::uint32_t i = 0; i < pFrames; ++i)
        samples[2 * i] = samples[2 * i + 1] = std::int16_t(8000 * std::sin(double(i) * 0.0627));
    std::ofstream out(pPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    out.write(reinterpret_cast<const char*>(samples.data()), std::streamsize(data));
}

// Half WAV and half MP3 files of half a second, with names as a user's folder has them.
std::vector<std::string> MakeDropFiles(const QString& pFolder) {
    const std::string folder = pFolder.toStdString() + "/";
    const std::string wav = folder + "seed.wav";
    WriteWav(wav, 22050);
    C_mp3acm encoder;
    (void)encoder.Init();
    const std::string mp3 = folder + "seed.mp3";
    (void)encoder.EncFromWavfile(wav, mp3, 128);
    std::vector<std::string> files;
    for (int i = 0; i < kDropFiles; ++i) {
        const bool isMp3 = i % 2 == 1;
        const std::string name =
            folder + (i % 3 == 0 ? "録音 " : "take ") + std::to_string(i) + (isMp3 ? ".mp3" : ".wav");
        std::filesystem::copy_file(isMp3 ? mp3 : wav, name);
        files.push_back(name);
    }
    return files;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// What main() does, up to the first paint of the window; prints the time since pParentClock.
int StartOnce(int pArgc, char** pArgv, double pParentClock) {
    QApplication app(pArgc, pArgv);
    (void)InstallQtJapanese(app);
    Support::TwipsPerPixel(Support::ScreenTwipsPerPixel());
    SingleInstance instance(QDir::tempPath());
    if (!instance.TryLock()) return 1;
    FrmMain form;
    form.Load();
    form.repaint();
    std::printf("%.3f\n", MonotonicMs() - pParentClock);
    return 0;
}

void StartRows(const char* pSelf) {
    std::vector<double> times;
    for (int i = 0; i < kStartRuns + 1; ++i) {
        const std::string clock = std::to_string(MonotonicMs());
        const std::string out =
            QDir::temp().filePath(QStringLiteral("tolvane-bench-start.txt")).toStdString();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const char* argv[] = {pSelf, "--startup-once", clock.c_str(), nullptr};
        pid_t child = 0;
        if (posix_spawn(&child, pSelf, &actions, nullptr, const_cast<char**>(argv), environ) != 0) return;
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ::waitpid(child, &status, 0);
        std::ifstream result(out);
        double ms = 0;
        if (!(result >> ms)) continue;
        if (i > 0) times.push_back(ms); // the first start fills the disk cache
    }
    if (!times.empty()) BenchReport::Report("Start to a shown window, ms", times, 500);
}

// While two rows convert on workers, the interface thread still answers: an event posted every
// 10 ms is handled within pTarget ms, and Stop ends the run soon after it is pressed. Each run
// starts four 10-minute WAV conversions to MP3 and presses Stop after a second.
void RowsAtWorkRows(const QString& pFolder) {
    const std::string folder = pFolder.toStdString() + "/";
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        files.push_back(folder + "long" + std::to_string(i) + ".wav");
        WriteWav(files.back(), 44100 * 600);
    }
    const std::string out = folder + "out";
    std::filesystem::create_directories(out);
    Support::WriteSetting("Jobs", std::int32_t(2));
    Support::WriteSetting("Encmp3", std::int32_t(1));
    Support::WriteSetting("SoundPath", out);
    std::vector<double> answers;
    std::vector<double> stops;
    for (int run = 0; run < 5; ++run) {
        FrmMain form;
        form.Load();
        form.AddFiles(files, 0);
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, &form, [&] {
            const Clock::time_point posted = Clock::now();
            QMetaObject::invokeMethod(
                &form,
                [&answers, posted] { answers.push_back(BenchReport::Milliseconds(Clock::now() - posted)); },
                Qt::QueuedConnection);
        });
        Clock::time_point stopped;
        QTimer::singleShot(1000, &form, [&] {
            ticks.stop();
            stopped = Clock::now();
            form.CtrButtons_ButtonClicked(BatchDriver::kStop);
        });
        ticks.start(10);
        form.CtrButtons_ButtonClicked(BatchDriver::kStart);
        stops.push_back(BenchReport::Milliseconds(Clock::now() - stopped));
        for (const auto& e : std::filesystem::directory_iterator(out))
            std::filesystem::remove(e.path());
    }
    BenchReport::Report("An event posted while two rows convert, handled after, ms", answers, 50);
    BenchReport::Report("Stop pressed while two rows convert, to the end of the run, ms", stops, 300);
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc > 2 && std::strcmp(argv[1], "--startup-once") == 0)
        return StartOnce(argc, argv, std::atof(argv[2]));
    // The window's settings store and plugin folder: a throw-away home, for the restarts too.
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", qPrintable(home.path()), 1);
    ::setenv("XDG_DATA_HOME", qPrintable(home.path()), 1);
    StartRows(argv[0]);

    QApplication app(argc, argv);
    Support::TwipsPerPixel(Support::ScreenTwipsPerPixel());
    FrmMain form;
    form.Load();
    const Clock::time_point idleFrom = Clock::now();
    while (Clock::now() - idleFrom < std::chrono::seconds(1))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    BenchReport::Report("Resident memory of the idle window after start-up, MiB",
                        {double(ResidentKiB()) / 1024.0}, 80);

    QTemporaryDir folder;
    const std::vector<std::string> files = MakeDropFiles(folder.path());
    std::vector<double> times;
    for (int i = 0; i < kDropRuns + 1; ++i) {
        form.LV.DeleteAll();
        form.LV.Refresh();
        const Clock::time_point start = Clock::now();
        form.AddFiles(files, form.LV.ItemCount());
        if (i > 0) times.push_back(BenchReport::Milliseconds(Clock::now() - start));
    }
    BenchReport::Report("1,000 dropped WAV and MP3 files listed, ms", times, 2000);
    form.LV.DeleteAll();
    QTemporaryDir longFiles;
    RowsAtWorkRows(longFiles.path());
    return 0;
}
