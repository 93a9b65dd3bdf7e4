// Throughput of FindPattern against glibc's memmem over the same 256 MiB buffer, for
// three kinds of data and pattern lengths from 1 to 86 bytes. The pattern never
// occurs, so each search reads the whole buffer.
#include "bench/bench_data.h"
#include "engine/find_pattern.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

namespace {

constexpr size_t kBufferBytes = size_t(256) << 20;
const int kPatternLengths[] = {1, 2, 4, 8, 16, 32, 86};

const std::vector<unsigned char>& Data(DataKind kind)
{
    static std::map<DataKind, std::vector<unsigned char>> cache;
    auto it = cache.find(kind);
    if (it == cache.end())
        it = cache.emplace(kind, MakeBenchData(kind, kBufferBytes)).first;
    return it->second;
}

void SearchWithFindPattern(benchmark::State& state, DataKind kind)
{
    const auto& data = Data(kind);
    const int32_t n = static_cast<int32_t>(state.range(0));
    const auto pattern = MakeAbsentPattern(kind, data, n);
    int32_t table[256];
    for (auto _ : state) {
        BuildShiftTable(pattern.data(), n, table);
        const int64_t found = FindPattern(data.data(), pattern.data(), table,
                                          static_cast<int64_t>(data.size()), n);
        if (found != SEARCH_NOT_FOUND)
            state.SkipWithError("pattern found");
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void SearchWithMemmem(benchmark::State& state, DataKind kind)
{
    const auto& data = Data(kind);
    const int32_t n = static_cast<int32_t>(state.range(0));
    const auto pattern = MakeAbsentPattern(kind, data, n);
    for (auto _ : state) {
        const void* found = ::memmem(data.data(), data.size(), pattern.data(), pattern.size());
        if (found)
            state.SkipWithError("pattern found");
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void Register()
{
    for (DataKind kind : {DataKind::Random, DataKind::Text, DataKind::MostlyZero}) {
        const std::string name = DataKindName(kind);
        auto* ours = benchmark::RegisterBenchmark(("FindPattern/" + name).c_str(), SearchWithFindPattern, kind);
        auto* theirs = benchmark::RegisterBenchmark(("memmem/" + name).c_str(), SearchWithMemmem, kind);
        for (int n : kPatternLengths) {
            ours->Arg(n);
            theirs->Arg(n);
        }
        ours->Unit(benchmark::kMillisecond)->MinTime(0.3);
        theirs->Unit(benchmark::kMillisecond)->MinTime(0.3);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
