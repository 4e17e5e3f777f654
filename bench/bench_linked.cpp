// Timings of the linked-name grouping at capacity (32766 records). Target on a small two-core machine: <= 10 ms
// in every shape, with and without IP links.
#include "Declares.h"
#include "LinkedNames.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using Declares::BanRecord;
using Declares::BanRecordTable;

constexpr int FullRecords = Declares::MaxBanFileLines;

enum class Shape {
    OneIdDistinctNames, // every record on one machine id and one IP, each under its own name
    AllDistinct,        // no id shared: nothing to link
    Pairs,              // two names per id: the most groups
    Chain,              // name k shares an id with name k + 1: one group of every name
    LongIds,            // pairs on machine ids too long to be packed, every record on its own date
    OneName,            // every record under one name, on one machine id
};

std::string Ip(int k) {
    return ' ' + std::to_string(10 + k / 65536) + '.' + std::to_string(k / 256 % 256) + '.' + std::to_string(k % 256) +
           ".1 ";
}

void Fill(Shape shape) {
    for (int k = 0; k < FullRecords; ++k) {
        const int id = shape == Shape::OneIdDistinctNames || shape == Shape::OneName ? 0
                       : shape == Shape::AllDistinct                                 ? k
                       : shape == Shape::Pairs || shape == Shape::LongIds            ? k / 2
                                                                                     : (k + 1) / 2;
        const int name = shape == Shape::Chain ? k / 2 : shape == Shape::OneName ? 0 : k;
        const std::string date = shape == Shape::LongIds
                                     ? std::to_string(1000 + k / 365) + '-' + std::to_string(100 + k % 365)
                                     : "20" + std::to_string(10 + k % 10) + "-11-0" + std::to_string(1 + k % 9);
        const std::string mid = std::to_string(1000000000 + 7919 * id);
        BanRecordTable[k + 2] = BanRecord{"2",
                                          k % 3 == 0 ? "#" : "^",
                                          std::to_string(1000 + k),
                                          "Gravewalker  ",
                                          date,
                                          "Pilot number " + std::to_string(name),
                                          (shape == Shape::LongIds ? mid + mid : mid) + ' ',
                                          "30",
                                          Ip(id)};
    }
    Declares::BanRecordCount = static_cast<std::int16_t>(FullRecords + 1);
    const std::string eof = "EOF";
    BanRecordTable[FullRecords + 2] = BanRecord{eof, eof, eof, eof, eof, eof, eof, eof, eof};
}

// firstCall: each run starts without the memory an earlier run kept, as the first run after a start does.
void BM_LinkedNames(benchmark::State& state, Shape shape, bool byIp, int threshold, bool firstCall = false) {
    Fill(shape);
    std::size_t groups = 0, hubs = 0;
    for (auto _ : state) {
        if (firstCall) {
            state.PauseTiming();
            BanHandle::ReleaseLinkedNamesMemory();
            state.ResumeTiming();
        }
        const auto found = BanHandle::FindLinkedNames({byIp, threshold});
        groups = found.groups.size();
        hubs = found.hubs.size();
        benchmark::DoNotOptimize(found.groups.data());
    }
    state.counters["groups"] = static_cast<double>(groups);
    state.counters["hubs"] = static_cast<double>(hubs);
}

constexpr int Hub = BanHandle::DefaultHubThreshold;
constexpr int NoHub = FullRecords; // no id is shared by too many names

BENCHMARK_CAPTURE(BM_LinkedNames, OneIdDistinctNames, Shape::OneIdDistinctNames, false, Hub)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, OneIdDistinctNamesByIp, Shape::OneIdDistinctNames, true, Hub)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, OneIdOneGroupByIp, Shape::OneIdDistinctNames, true, NoHub)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, AllDistinct, Shape::AllDistinct, false, Hub)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, AllDistinctByIp, Shape::AllDistinct, true, Hub)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, Pairs, Shape::Pairs, false, Hub)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, PairsByIp, Shape::Pairs, true, Hub)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, PairsByIpFirstCall, Shape::Pairs, true, Hub, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, Chain, Shape::Chain, false, Hub)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, ChainByIp, Shape::Chain, true, Hub)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, LongIdsByIp, Shape::LongIds, true, Hub)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LinkedNames, OneNameByIp, Shape::OneName, true, Hub)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
