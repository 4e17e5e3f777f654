// Timings of the analyser core: loading and parsing, both reports, the search, and files far too big.
// Targets on a small two-core machine: load + parse of a full file <= 1 ms, a report <= 20 ms,
// a search <= 0.5 ms, a 1 GiB file well under a second.
#include "BanHandle.h"
#include "Declares.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Declares::BanRecord;
using Declares::BanRecordTable;
using Table = std::array<BanRecord, Declares::BanTableRows + 1>;

constexpr int ReportRecords = 2998;

const std::string FullSample = std::string(MW_EXAMPLES_DIR) + "/ban_full.txt";
const std::string OverSample = std::string(MW_EXAMPLES_DIR) + "/ban_over.txt";

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

enum class Shape { OneMidDistinctNames, OneMidOneName, AllDistinct, FullSample };

// The table as it stands after a load; the copy is what each iteration starts from.
std::unique_ptr<Table> PrepareTable(benchmark::State& state, Shape shape, std::int16_t& count) {
    if (shape == Shape::FullSample) {
        LoadOrFail(state, FullSample);
    } else {
        for (int k = 0; k < ReportRecords; ++k) {
            const bool oneMid = shape == Shape::OneMidDistinctNames || shape == Shape::OneMidOneName;
            const std::string mid = oneMid ? "1148874145 " : std::to_string(1000000000 + 7919 * k) + " ";
            const std::string name =
                shape == Shape::OneMidOneName ? "Pilot number 1" : "Pilot number " + std::to_string(k);
            BanRecordTable[k + 2] = MakeRecord(k, mid, name);
        }
        Declares::BanRecordCount = ReportRecords + 1;
        const std::string eof = "EOF";
        BanRecordTable[ReportRecords + 2] = BanRecord{eof, eof, eof, eof, eof, eof, eof, eof, eof};
    }
    count = Declares::BanRecordCount;
    return std::make_unique<Table>(BanRecordTable);
}

void BM_LoadFullSample(benchmark::State& state) {
    for (auto _ : state) {
        LoadOrFail(state, FullSample);
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["records"] = Declares::BanRecordCount - 1;
}
BENCHMARK(BM_LoadFullSample)->Unit(benchmark::kMicrosecond);

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
    const auto prepared = PrepareTable(state, shape, count);
    std::size_t lines = 0;
    for (auto _ : state) {
        // The report marks Mid cells "REMOVED"; every run must start from the loaded table.
        state.PauseTiming();
        BanRecordTable = *prepared;
        Declares::BanRecordCount = count;
        state.ResumeTiming();
        const auto report = BanHandle::FindRepeatedOffendersByMid();
        lines = report.size();
        benchmark::DoNotOptimize(report.data());
    }
    state.counters["records"] = count - 1;
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK_CAPTURE(BM_ReportByMid, OneMidDistinctNames, Shape::OneMidDistinctNames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportByMid, OneMidOneName, Shape::OneMidOneName)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportByMid, AllDistinct, Shape::AllDistinct)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReportByMid, FullSample, Shape::FullSample)->Unit(benchmark::kMillisecond);

void BM_ReportByName(benchmark::State& state, Shape shape) {
    std::int16_t count = 0;
    PrepareTable(state, shape, count);
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
BENCHMARK_CAPTURE(BM_ReportByName, FullSample, Shape::FullSample)->Unit(benchmark::kMillisecond);

// Queries taken from the full sample, so each search finds something.
void BM_Search(benchmark::State& state, Declares::SearchModeKind mode) {
    using Declares::SearchModeKind;
    LoadOrFail(state, FullSample);
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

constexpr std::uintmax_t OneGiB = std::uintmax_t{1} << 30;

// A sparse file in /tmp that is removed again when the benchmark ends.
class HugeFile {
public:
    explicit HugeFile(const std::string& head)
        : path_(fs::temp_directory_path() / ("mw_bench_huge_" + std::to_string(::getpid()) + ".txt")) {
        {
            std::ofstream out(path_, std::ios::binary | std::ios::trunc);
            out << head;
        }
        fs::resize_file(path_, OneGiB);
    }
    ~HugeFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    HugeFile(const HugeFile&) = delete;
    HugeFile& operator=(const HugeFile&) = delete;
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The full sample followed by a hole up to 1 GiB: far more than 2999 lines' worth of file.
void BM_LoadOneGiBFile(benchmark::State& state) {
    const HugeFile file(ReadWhole(FullSample));
    for (auto _ : state) {
        LoadOrFail(state, file.path());
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["lines"] = Declares::BanFileLineCount - 1;
}
BENCHMARK(BM_LoadOneGiBFile)->Unit(benchmark::kMillisecond);

// One line of 1 GiB (NUL bytes, no terminator): the reader has to walk it all but must not keep it.
void BM_LoadOneGiBLine(benchmark::State& state) {
    const HugeFile file("");
    for (auto _ : state) {
        LoadOrFail(state, file.path());
        benchmark::DoNotOptimize(Declares::BanRecordCount);
    }
    state.counters["stored_length"] = static_cast<double>(Declares::BanFileLines[2].size());
}
BENCHMARK(BM_LoadOneGiBLine)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
