// tolvane-bench-list: times the list view's model operations and its repaint while scrolling, on
// the offscreen platform. Prints one tab-separated row per measurement: label, median ms, min ms,
// 95th percentile ms, max ms, runs, runs at or over the target, target ms (0: none) (bench/bench.py turns
// them into a table).
#include "bench/BenchReport.h"
#include "controls/FileList.h"
#include "controls/UC_ListView.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 10000;
constexpr int kRepetitions = 15;

using BenchReport::Clock;
using BenchReport::Milliseconds;
using BenchReport::Report;

double ThreadCpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void Time(const char* pLabel, double pTarget, const std::function<void()>& pSetUp,
          const std::function<void()>& pWork) {
    BenchReport::Time(pLabel, pTarget, kRepetitions, pSetUp, pWork);
}

std::unique_ptr<UC_ListView> FileList() {
    auto list = std::make_unique<UC_ListView>();
    SetUpFileList(*list, 1);
    return list;
}

// File names as a user's folder has them: Japanese and Latin words, numbers, mixed case.
std::string Name(std::mt19937& pRandom) {
    static const char* const kWords[] = {"交響曲", "Morning", "raga",   "インタビュー", "Take",
                                         "録音",   "field",   "夜明け", "Club",         "mix",
                                         "講演会", "第3回",   "Bass",   "loop",         "雨音"};
    std::uniform_int_distribution<int> word(0, int(std::size(kWords)) - 1);
    std::uniform_int_distribution<int> number(0, 9999);
    std::string name = kWords[word(pRandom)];
    name += ' ';
    name += kWords[word(pRandom)];
    name += ' ' + std::to_string(number(pRandom)) + ".mp3";
    return name;
}

void Fill(UC_ListView& pList, int pRows) {
    std::mt19937 random(42);
    for (int i = 0; i < pRows; ++i) {
        pList.AddItem(1);
        pList.IconType(-2, 4);
        const std::string name = Name(random);
        pList.AuxID(-2, 0, "/home/user/Music/" + name);
        pList.Value(-2, 0, name);
        pList.Value(-2, 1, std::to_string(i % 60).insert(0, "003'") + ".417");
        pList.Value(-2, 2, "mp3(44100Hz/192kbps/JointStereo)");
    }
}

void ModelRows() {
    std::unique_ptr<UC_ListView> list;
    Time(
        "AddItem ×10,000", 20, [&] { list = FileList(); },
        [&] {
            for (int i = 0; i < kRows; ++i)
                list->AddItem(1);
        });
    Time(
        "AddItem with icon, path and three values ×10,000 (as the file intake does)", 0,
        [&] { list = FileList(); }, [&] { Fill(*list, kRows); });

    list = FileList();
    Fill(*list, kRows);
    list->SetSelectedItem(1234);
    Time(
        "ReOrder on a text column, 10,000 rows", 50, [&] { list->RndItem(); },
        [&] { list->ReOrder(0, 1, -1); });
    for (int i = 0; i < kRows; ++i)
        list->Value(i, 1, double((i * 7919) % 100000) / 1000.0);
    list->DataNumeric(1, 1);
    Time(
        "ReOrder on a numeric column, 10,000 rows", 0, [&] { list->RndItem(); },
        [&] { list->ReOrder(1, 1, -1); });

    Time(
        "DeleteSelected of every other row, 10,000 rows", 20,
        [&] {
            list = FileList();
            Fill(*list, kRows);
            for (int i = 0; i < kRows; i += 2)
                list->IsSelected(i, 1);
        },
        [&] { list->DeleteSelected(); });
}

// One page down at a time through 10,000 rows, each page repainted at once (not requested).
void ScrollRows(const char* pLabel) {
    std::unique_ptr<UC_ListView> list = FileList();
    list->resize(540, 360);
    Fill(*list, kRows);
    list->show();
    QApplication::processEvents();
    list->Refresh();
    list->PictureList()->repaint();
    std::vector<double> times;
    std::vector<double> cpu;
    while (list->TopItem() < list->VBarState().Max && list->VisibleRows() > 0) {
        list->SetTopItem(std::min(list->TopItem() + list->VisibleRows(), list->ItemCount() - 1), 1, 0);
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadCpuMilliseconds();
        list->PictureList()->repaint();
        times.push_back(Milliseconds(Clock::now() - start));
        cpu.push_back(ThreadCpuMilliseconds() - cpuStart);
    }
    Report(pLabel, times, 5);
    Report((std::string(pLabel) + ", thread CPU time").c_str(), cpu, 5);
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const bool scrollOnly = argc > 1 && std::strcmp(argv[1], "--scroll") == 0;
    Support::TwipsPerPixel(Support::ScreenTwipsPerPixel());
    Support::ChooseUiFont();
    if (!scrollOnly) ModelRows();
    const std::string label = "Repaint after scrolling one page, 10,000 rows, 540 × 360 px at " +
                              std::to_string(int(app.devicePixelRatio() * 100 + 0.5)) + " %";
    ScrollRows(label.c_str());
    return 0;
}
