// Throughput of FindPattern over the same 256 MiB buffer as glibc's memchr (one byte)
// and memmem (more), and as the quick-search loop alone, for three kinds of data,
// pattern lengths from 1 to 86 bytes and three shapes of pattern (bench/bench_data.h).
// The pattern never occurs, so each search reads the whole buffer.
#include "bench/bench_data.h"
#include "engine/find_pattern.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

namespace {

constexpr size_t kBufferBytes = size_t(256) << 20;
const int kPatternLengths[] = {2, 4, 8, 16, 32, 86};

const std::vector<unsigned char>& Data(DataKind kind)
{
    static std::map<DataKind, std::vector<unsigned char>> cache;
    auto it = cache.find(kind);
    if (it == cache.end())
        it = cache.emplace(kind, MakeBenchData(kind, kBufferBytes)).first;
    return it->second;
}

enum class Searcher { FindPattern, QuickLoop, Library };

void Search(benchmark::State& state, DataKind kind, PatternShape shape, Searcher searcher)
{
    const auto& data = Data(kind);
    const int32_t n = static_cast<int32_t>(state.range(0));
    const auto pattern = MakeAbsentPattern(kind, data, n, 7, shape);
    int32_t table[256];
    UseMatcherPath(searcher == Searcher::QuickLoop ? MatcherPath::Scalar : BestMatcherPath());
    for (auto _ : state) {
        bool found;
        if (searcher == Searcher::Library) {
            found = n == 1 ? std::memchr(data.data(), pattern[0], data.size()) != nullptr
                           : ::memmem(data.data(), data.size(), pattern.data(), pattern.size()) != nullptr;
        } else {
            BuildShiftTable(pattern.data(), n, table);
            found = FindPattern(data.data(), pattern.data(), table, static_cast<int64_t>(data.size()), n) !=
                    SEARCH_NOT_FOUND;
        }
        if (found)
            state.SkipWithError("pattern found");
        benchmark::DoNotOptimize(found);
    }
    UseMatcherPath(BestMatcherPath());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void Register()
{
    const char* names[] = {"FindPattern", "quick-loop", "library"};
    for (DataKind kind : {DataKind::Random, DataKind::Text, DataKind::MostlyZero}) {
        for (PatternShape shape : {PatternShape::Middle, PatternShape::Last, PatternShape::Spaces}) {
            // Only text has runs of common bytes to make such a pattern of.
            if (shape == PatternShape::Spaces && kind != DataKind::Text)
                continue;
            for (Searcher searcher : {Searcher::FindPattern, Searcher::QuickLoop, Searcher::Library}) {
                const std::string name = std::string(names[static_cast<int>(searcher)]) + "/" + DataKindName(kind) +
                                         "/" + PatternShapeName(shape);
                auto* b = benchmark::RegisterBenchmark(name.c_str(), Search, kind, shape, searcher);
                if (shape == PatternShape::Middle)
                    b->Arg(1);  // one byte has no shape: listed once
                for (int n : kPatternLengths)
                    b->Arg(n);
                b->Unit(benchmark::kMillisecond)->MinTime(0.3);
            }
        }
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
