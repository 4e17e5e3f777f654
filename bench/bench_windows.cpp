// Window timings, from the click to the window shown, and the resident memory with every Mirewatch window
// open: on the full sample, and on results of the size the largest ban file gives. Run with
// QT_QPA_PLATFORM=offscreen.
#include "AboutMeForm.h"
#include "BanPathForm.h"
#include "BetaTesters.h"
#include "ChooseFindRepForm.h"
#include "DatabaseForm.h"
#include "Declares.h"
#include "HelpMeForm.h"
#include "LineList.h"
#include "MainForm.h"
#include "Messages.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "ShowBans.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kFullSample = MW_EXAMPLES_DIR "/ban_full.txt";

// The most matches a search can list once ban files of 32,766 lines are read: every line but the last an entry.
constexpr int kLargestResult = 32765;

// Matches as a search lists them, each with fields of typical length.
std::vector<BanHandle::SearchMatch> manyMatches(int count) {
    std::vector<BanHandle::SearchMatch> matches;
    matches.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::string id = std::to_string(1000 + i);
        matches.push_back({"Player " + id, "9999", " 130.128." + std::to_string(i % 250) + ".7", "2003-01-12",
                           "Frostbyte   ", "2", id, i % 2 ? "Expired" : "Still valid"});
    }
    return matches;
}

int messageCount = 0;

// Ban entry lines, each with its own machine id unless one is given, then a closing line if there is room.
std::string writeEntries(const QTemporaryDir& dir, const char* file, int entries, const std::string& oneMid,
                         const std::function<std::string(int)>& name) {
    const std::string path = QFile::encodeName(dir.filePath(file)).toStdString();
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < entries; ++i) {
        const std::string id = std::to_string(1000 + i);
        out << "  #" << id << "  level 2 by Frostbyte  2003-01-12 05:28:28   9999 130.128." << (i % 250) << '.'
            << (i / 250) << "  mid:" << (oneMid.empty() ? "-20087" + id : oneMid) << ' ' << name(i) << "\r\n";
    }
    if (entries < Declares::MaxBanFileLines) {
        out << "Log closed\r\n";
    }
    return path;
}

// Ban entries of one player, every line but the closing one: every record matches a Nick search.
std::string writeSamePlayerFile(const QTemporaryDir& dir) {
    return writeEntries(dir, "same_player.txt", Declares::MaxBanFileLines - 1, {}, [](int) { return "Mister Slayer"; });
}

// The worst machine-id report: a full file of entries on one machine id under distinct names, 32,765 pairs of
// five lines and a separator per record (196,591 lines).
std::string writeOneMachineIdFile(const QTemporaryDir& dir) {
    return writeEntries(dir, "one_mid.txt", Declares::MaxBanFileLines, "-200871234",
                        [](int i) { return "Pilot number " + std::to_string(i); });
}

// Resident and peak memory of this process in kB, from /proc/self/status.
long statusKb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::stol(line.substr(key.size() + 1));
        }
    }
    return -1;
}

// From here on VmHWM is the peak of what follows.
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void showNow(QWidget* window) {
    window->show();
    QCoreApplication::processEvents();
}

void checkNoMessage(benchmark::State& state) {
    if (messageCount != 0) {
        state.SkipWithError("the ban file did not load whole");
    }
}

void BM_SearchEveryRecordMatching(benchmark::State& state) {
    QTemporaryDir dir;
    Declares::BanFilePath = writeSamePlayerFile(dir);
    DatabaseForm form;
    showNow(&form);
    form.findChild<QRadioButton*>("Optn_SearchByNick")->click();
    form.findChild<QLineEdit*>("SearchQuery")->setText("mister slayer");
    auto* search = form.findChild<QPushButton*>("Command1");
    for (auto _ : state) {
        search->click();
        QCoreApplication::processEvents();
    }
    state.counters["matches"] = form.findChild<QListView*>("BannedAliases")->model()->rowCount();
    checkNoMessage(state);
}

// The window's own part of a search at the largest result: the eight lists shown over one model.
void BM_SearchWindowLargestResult(benchmark::State& state) {
    const std::vector<BanHandle::SearchMatch> matches = manyMatches(kLargestResult);
    for (auto _ : state) {
        DatabaseForm form;
        form.showMatches(matches);
        showNow(&form);
        state.PauseTiming();
        state.counters["matches"] = form.findChild<QListView*>("BannedAliases")->model()->rowCount();
        state.ResumeTiming();
    }
}

// A report list of this many lines as the windows show it, the list alone: the worst machine-id report has
// 196,591.
void BM_ReportListLines(benchmark::State& state) {
    std::vector<std::string> lines;
    for (int i = 0; static_cast<int>(lines.size()) < state.range(0); ++i) {
        const std::string id = std::to_string(1000 + i);
        lines.push_back("Match 1 details : Player " + id + "/MID : -20087" + id +
                        " /BanIP :  130.128.7.7/Date : 2003-01-12   ( Ban # : " + id +
                        ", Days : 9999, By : Frostbyte    )");
    }
    for (auto _ : state) {
        QWidget window;
        auto* list = new QListView(&window);
        list->resize(800, 500);
        state.PauseTiming();
        std::vector<std::string> shown = lines; // the window takes the report's lines as they are
        state.ResumeTiming();
        showLines(list, std::move(shown));
        showNow(&window);
    }
    state.counters["lines"] = static_cast<double>(lines.size());
}

template <class Window> void BM_ReportWindow(benchmark::State& state, const char* listName, const std::string& path) {
    Declares::BanFilePath = path;
    int lines = 0;
    for (auto _ : state) {
        auto window = std::make_unique<Window>();
        showNow(window.get());
        state.PauseTiming();
        lines = window->template findChild<QAbstractItemView*>(listName)->model()->rowCount();
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["lines"] = lines;
    checkNoMessage(state);
}

void BM_MachineIdReportWindow(benchmark::State& state) {
    BM_ReportWindow<RepeatedOffendersForm>(state, "RepeatedOffendersList", kFullSample);
}

void BM_NameReportWindow(benchmark::State& state) {
    BM_ReportWindow<NameRepeatedOffendersForm>(state, "LST_NAMEREPOFF", kFullSample);
}

void BM_ViewerWindow(benchmark::State& state) {
    BM_ReportWindow<ShowBans>(state, "LoadBans", kFullSample);
}

void BM_WorstMachineIdReportWindow(benchmark::State& state) {
    const QTemporaryDir dir;
    BM_ReportWindow<RepeatedOffendersForm>(state, "RepeatedOffendersList", writeOneMachineIdFile(dir));
}

// The resident memory at its peak while the worst machine-id report window opens, and its growth over what the
// process held before.
void BM_MemoryWorstMachineIdReport(benchmark::State& state) {
    const QTemporaryDir dir;
    Declares::BanFilePath = writeOneMachineIdFile(dir);
    for (auto _ : state) {
        resetPeakMemory();
        const long before = statusKb("VmRSS");
        RepeatedOffendersForm window;
        showNow(&window);
        const long peak = statusKb("VmHWM");
        state.counters["VmHWM_MB"] = static_cast<double>(peak) / 1024.0;
        state.counters["growth_MB"] = static_cast<double>(peak - before) / 1024.0;
        state.counters["lines"] = window.findChild<QAbstractItemView*>("RepeatedOffendersList")->model()->rowCount();
    }
    checkNoMessage(state);
}

// Every window open at once, the search window holding the largest result, the others loaded from the
// full sample.
void BM_MemoryEveryWindowOpen(benchmark::State& state) {
    for (auto _ : state) {
        resetPeakMemory();
        std::vector<std::unique_ptr<QWidget>> windows;
        windows.push_back(std::make_unique<MainForm>()); // reads Config.ini into BanFilePath
        auto search = std::make_unique<DatabaseForm>();
        search->showMatches(manyMatches(kLargestResult));
        windows.push_back(std::move(search));
        Declares::BanFilePath = kFullSample;
        windows.push_back(std::make_unique<ChooseFindRepForm>());
        windows.push_back(std::make_unique<RepeatedOffendersForm>());
        windows.push_back(std::make_unique<NameRepeatedOffendersForm>());
        windows.push_back(std::make_unique<BanPathForm>());
        windows.push_back(std::make_unique<ShowBans>());
        windows.push_back(std::make_unique<AboutMeForm>());
        windows.push_back(std::make_unique<HelpMeForm>());
        windows.push_back(std::make_unique<BetaTesters>());
        for (const auto& window : windows) {
            window->show();
        }
        QCoreApplication::processEvents();
        state.counters["windows"] = static_cast<double>(windows.size());
        state.counters["VmRSS_MB"] = static_cast<double>(statusKb("VmRSS")) / 1024.0;
        state.counters["VmHWM_MB"] = static_cast<double>(statusKb("VmHWM")) / 1024.0;
    }
    checkNoMessage(state);
}

} // namespace

// Memory first, so the figures are not inflated by what the timing runs leave behind.
BENCHMARK(BM_MemoryWorstMachineIdReport)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryEveryWindowOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchEveryRecordMatching)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MachineIdReportWindow)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorstMachineIdReportWindow)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NameReportWindow)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerWindow)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchWindowLargestResult)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportListLines)->Arg(kLargestResult)->Arg(196591)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    Messages::setHandler([](const QString&, const QString&) { ++messageCount; });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
