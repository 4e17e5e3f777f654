// Window timings on the full sample, from the click to the window shown, and the resident memory with
// every Mirewatch window open. Run with QT_QPA_PLATFORM=offscreen.
#include "AboutMeForm.h"
#include "BanPathForm.h"
#include "BetaTesters.h"
#include "ChooseFindRepForm.h"
#include "DatabaseForm.h"
#include "Declares.h"
#include "HelpMeForm.h"
#include "MainForm.h"
#include "Messages.h"
#include "NameRepeatedOffendersForm.h"
#include "RepeatedOffendersForm.h"
#include "ShowBans.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kFullSample = MW_EXAMPLES_DIR "/ban_full.txt";

int messageCount = 0;

// 2998 ban entries of one player and a closing line: 2999 lines, every record matching a Nick search.
std::string writeSamePlayerFile(const QTemporaryDir& dir) {
    const std::string path = QFile::encodeName(dir.filePath("same_player.txt")).toStdString();
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < Declares::MaxBanFileLines - 1; ++i) {
        const std::string id = std::to_string(1000 + i);
        out << "  #" << id << "  level 2 by Frostbyte  2003-01-12 05:28:28   9999 130.128." << (i % 250) << '.'
            << (i / 250) << "  mid:-20087" << id << " Mister Slayer\r\n";
    }
    out << "Log closed\r\n";
    return path;
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
    state.counters["matches"] = form.findChild<QListWidget*>("BannedAliases")->count();
    checkNoMessage(state);
}

template <class Window> void BM_ReportWindow(benchmark::State& state, const char* listName) {
    Declares::BanFilePath = kFullSample;
    int lines = 0;
    for (auto _ : state) {
        auto window = std::make_unique<Window>();
        showNow(window.get());
        state.PauseTiming();
        lines = window->template findChild<QListWidget*>(listName)->count();
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["lines"] = lines;
    checkNoMessage(state);
}

void BM_MachineIdReportWindow(benchmark::State& state) {
    BM_ReportWindow<RepeatedOffendersForm>(state, "RepeatedOffendersList");
}

void BM_NameReportWindow(benchmark::State& state) {
    BM_ReportWindow<NameRepeatedOffendersForm>(state, "LST_NAMEREPOFF");
}

// Every window open at once, the search window holding a full result, the others loaded from the
// full sample.
void BM_MemoryEveryWindowOpen(benchmark::State& state) {
    QTemporaryDir dir;
    for (auto _ : state) {
        std::vector<std::unique_ptr<QWidget>> windows;
        windows.push_back(std::make_unique<MainForm>()); // reads Config.ini into BanFilePath
        Declares::BanFilePath = writeSamePlayerFile(dir);
        auto search = std::make_unique<DatabaseForm>();
        search->findChild<QRadioButton*>("Optn_SearchByNick")->click();
        search->findChild<QLineEdit*>("SearchQuery")->setText("mister slayer");
        search->findChild<QPushButton*>("Command1")->click();
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

// Memory first, so the figure is not inflated by what the timing runs leave behind.
BENCHMARK(BM_MemoryEveryWindowOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchEveryRecordMatching)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MachineIdReportWindow)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NameReportWindow)->UseRealTime()->Unit(benchmark::kMillisecond);

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
