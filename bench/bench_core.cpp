// Timings of the analyser core: loading and parsing, both reports, the search, and files far too big.
// Targets on a small two-core machine, for files of 32766 lines (the capacity): load + parse <= 10 ms,
// the machine-id report <= 20 ms (<= 1 ms at 2999 lines), the name report <= 10 ms, a search <= 2 ms,
// a 1 GiB file well under a second.
#include "BanHandle.h"
#include "Declares.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Declares::BanRecord;
using Declares::BanRecordTable;
using Table = std::array<BanRecord, Declares::BanTableRows + 1>;

constexpr int FullRecords = Declares::MaxBanFileLines; // every line of a full file an entry
constexpr int SmallRecords = 2998;                     // a 2999-line file's

const std::string FullSample = std::string(MW_EXAMPLES_DIR) + "/ban_full.txt";
const std::string OverSample = std::string(MW_EXAMPLES_DIR) + "/ban_over.txt";

constexpr std::uintmax_t OneGiB = std::uintmax_t{1} << 30;

// A file in /tmp, sparse up to size when that is larger than head; removed again when the benchmark ends.
class TempFile {
public:
    TempFile(const std::string& name, const std::string& head, std::uintmax_t size = 0)
        : path_(fs::temp_directory_path() / ("mw_bench_" + name + std::to_string(::getpid()) + ".txt")) {
        {
            std::ofstream out(path_, std::ios::binary | std::ios::trunc);
            out << head;
        }
        if (size > head.size()) {
            fs::resize_file(path_, size);
        }
    }
    ~TempFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The full sample's lines over and over up to 32766 lines: a full file with the sample's mix of entries,
// pages, answers and chat. One download, its log opened once; or, with every repetition a log session of its
// own, ten downloads listing the same bans.
std::string RepeatSample(bool sessions) {
    const std::string sample = ReadWhole(FullSample);
    std::string out;
    std::size_t lines = 0, at = 0;
    while (lines < Declares::MaxBanFileLines) {
        const std::size_t end = sample.find("\r\n", at) + 2;
        if (sessions || lines == 0 || sample.compare(at, 15, "Log file opened") != 0) {
            out.append(sample, at, end - at);
            ++lines;
        }
        at = end == sample.size() ? 0 : end;
    }
    return out;
}

const std::string& FullFileText() {
    static const std::string text = RepeatSample(false);
    return text;
}

const std::string& FullFile() {
    static const TempFile file("full_", FullFileText());
    static const std::string path = file.path();
    return path;
}

void LoadOrFail(benchmark::State& state, const std::string& path) {
    Declares::BanFilePath = path;
    const auto outcome = BanHandle::LoadBanFile();
    if (outcome.kind == BanHandle::LoadOutcome::Kind::CannotOpen ||
        outcome.kind == BanHandle::LoadOutcome::Kind::NoFileChosen) {
        state.SkipWithError(("cannot load " + path + ": " + outcome.reason).c_str());
    }
}

// A record that looks like a parsed one, so string lengths and comparisons cost what they do in use.
BanRecord MakeRecord(int k, const std::string& mid, const std::string& name) {
    const std::string id = std::to_string(1000 + k);
    return BanRecord{"2", k % 3 == 0 ? "#" : "^", id, "Gravewalker  ", "2014-11-07", name, mid, "30", " 129.9.67.1"};
}

enum class Shape { OneMidDistinctNames, OneMidOneName, AllDistinct, FullFile };

// The table as it stands after a load; the copy is what each iteration starts from.
std::unique_ptr<Table> PrepareTable(benchmark::State& state, Shape shape, int records, std::int16_t& count) {
    if (shape == Shape::FullFile) {
        LoadOrFail(state, FullFile());
    } else {
        for (int k = 0; k < records; ++k) {
            const bool oneMid = shape == Shape::OneMidDistinctNames || shape == Shape::OneMidOneName;
            const std::string mid = oneMid ? "1148874145 " : std::to_string(1000000000 + 7919 * k) + " ";
            const std::string name =
                shape == Shape::OneMidOneName ? "Pilot number 1" : "Pilot number " + std::to_string(k);
            BanRecordTable[k + 2] = MakeRecord(k, mid, name);
        }
        Declares::BanRecordCount = static_cast<std::int16_t>(records + 1);
        const std::string eof = "EOF";
        BanRecordTable[records + 2] = BanRecord{eof, eof, eof, eof, eof, eof, eof, eof, eof};
    }
    count = Declares::BanRecordCount;
    return std::make_unique<Table>(BanRecordTable);
}

void BM_LoadFullFile(benchmark::State& state) {
    const std::string& path = FullFile();
    for (auto _ : state) {
        LoadOrFail(state, path);
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["records"] = Declares::BanRecordCount - 1;
}
BENCHMARK(BM_LoadFullFile)->Unit(benchmark::kMillisecond);

// The same file with every line ended by a CR alone, as old Mac programs write it.
void BM_LoadFullFileCrOnly(benchmark::State& state) {
    static const TempFile file("full_cr_", [] {
        std::string text = FullFileText();
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        return text;
    }());
    for (auto _ : state) {
        LoadOrFail(state, file.path());
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["records"] = Declares::BanRecordCount - 1;
}
BENCHMARK(BM_LoadFullFileCrOnly)->Unit(benchmark::kMillisecond);

// Every ban listed ten times over, in ten downloads: each ban number keeps only its last download's listings.
void BM_LoadFullFileTenDownloads(benchmark::State& state) {
    static const TempFile file("full_sessions_", RepeatSample(true));
    for (auto _ : state) {
        LoadOrFail(state, file.path());
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["records"] = Declares::BanRecordCount - 1;
}
BENCHMARK(BM_LoadFullFileTenDownloads)->Unit(benchmark::kMillisecond);

void BM_LoadOverCapacitySample(benchmark::State& state) {
    for (auto _ : state) {
        LoadOrFail(state, OverSample);
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["records"] = Declares::BanRecordCount - 1;
}
BENCHMARK(BM_LoadOverCapacitySample)->Unit(benchmark::kMicrosecond);

void BM_ReportByMid(benchmark::State& state, Shape shape) {
    std::int16_t count = 0;
    const auto prepared = PrepareTable(state, shape, static_cast<int>(state.range(0)), count);
    std::size_t lines = 0;
    BanHandle::ReportLines report;
    for (auto _ : state) {
        // The report marks Mid cells "REMOVED"; every run must start from the loaded table. Freeing the last
        // report is the caller's work, not the report's.
        state.PauseTiming();
        BanRecordTable = *prepared;
        Declares::BanRecordCount = count;
        report = {};
        state.ResumeTiming();
        report = BanHandle::FindRepeatedOffendersByMid();
        lines = report.size();
        benchmark::DoNotOptimize(report.empty());
    }
    state.counters["records"] = count - 1;
    state.counters["lines"] = static_cast<double>(lines);
}
// One machine id under distinct names is the worst case: every record after the first is reported.
BENCHMARK_CAPTURE(BM_ReportByMid, OneMidDistinctNames, Shape::OneMidDistinctNames)
    ->Arg(FullRecords)
    ->Arg(SmallRecords)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportByMid, OneMidOneName, Shape::OneMidOneName)->Arg(FullRecords)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportByMid, AllDistinct, Shape::AllDistinct)->Arg(FullRecords)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportByMid, FullFile, Shape::FullFile)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ReportByName(benchmark::State& state, Shape shape) {
    std::int16_t count = 0;
    PrepareTable(state, shape, FullRecords, count);
    std::size_t lines = 0;
    for (auto _ : state) {
        const auto report = BanHandle::FindRepeatedOffendersByName();
        lines = report.size();
        benchmark::DoNotOptimize(report.data());
    }
    state.counters["records"] = count - 1;
    state.counters["lines"] = static_cast<double>(lines);
}
// Distinct names are the worst case here: every row starts a full pass.
BENCHMARK_CAPTURE(BM_ReportByName, AllDistinct, Shape::AllDistinct)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportByName, FullFile, Shape::FullFile)->Unit(benchmark::kMillisecond);

// Queries taken from the full file, so each search finds something.
void BM_Search(benchmark::State& state, Declares::SearchModeKind mode) {
    using Declares::SearchModeKind;
    LoadOrFail(state, FullFile());
    const BanRecord& row = BanRecordTable[Declares::BanRecordCount / 2];
    std::string query;
    switch (mode) {
    case SearchModeKind::BanID:
        query = row.Id;
        break;
    case SearchModeKind::IP:
        query = row.Ip.substr(row.Ip.find_first_not_of(' '));
        break;
    case SearchModeKind::MID:
        query = row.Mid.substr(0, row.Mid.find(' '));
        break;
    case SearchModeKind::Moderator:
        query = "GRAVEWALKER"; // the busiest moderator: many hits to copy out
        break;
    case SearchModeKind::Nick:
        query = row.Name;
        break;
    case SearchModeKind::None:
        break;
    }
    Declares::SearchMode = mode;
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto matches = BanHandle::SearchBanTable(query);
        hits = matches.size();
        benchmark::DoNotOptimize(matches.data());
    }
    Declares::SearchMode = SearchModeKind::None;
    state.counters["hits"] = static_cast<double>(hits);
    if (hits == 0) {
        state.SkipWithError("the query found nothing");
    }
}
BENCHMARK_CAPTURE(BM_Search, BanID, Declares::SearchModeKind::BanID)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, IP, Declares::SearchModeKind::IP)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, MID, Declares::SearchModeKind::MID)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, Moderator, Declares::SearchModeKind::Moderator)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, Nick, Declares::SearchModeKind::Nick)->Unit(benchmark::kMicrosecond);

// A full file followed by a hole up to 1 GiB: the load stops where the hole starts a line too many.
void BM_LoadOneGiBFile(benchmark::State& state) {
    const TempFile file("huge_", FullFileText(), OneGiB);
    for (auto _ : state) {
        LoadOrFail(state, file.path());
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["lines"] = Declares::BanFileLineCount - 1;
}
BENCHMARK(BM_LoadOneGiBFile)->Unit(benchmark::kMillisecond);

// One line of 1 GiB (NUL bytes, no terminator): the reader has to walk it all but must not keep it.
void BM_LoadOneGiBLine(benchmark::State& state) {
    const TempFile file("huge_", "", OneGiB);
    for (auto _ : state) {
        LoadOrFail(state, file.path());
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["stored_length"] = static_cast<double>(Declares::BanFileLines[2].size());
}
BENCHMARK(BM_LoadOneGiBLine)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
