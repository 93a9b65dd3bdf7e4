// Throughput of FindPattern over the same buffer as glibc's memchr (one byte) and memmem
// (more), and as the quick-search loop alone: 256 MiB of three kinds of text and data,
// pattern lengths from 1 to 86 bytes and three shapes of pattern; 64 MiB of five kinds
// of binaries, and of 00 and FF at random, with near misses made of their own bytes (bench/bench_data.h). The pattern
// never occurs, so each search reads the whole buffer.
//   find_pattern_bench make-file PATH KIND MIB   writes a binary of that kind and its
//                                                near misses for the file benchmark
#include "bench/bench_data.h"
#include "engine/find_pattern.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace {

constexpr size_t kBufferBytes = size_t(256) << 20;
constexpr size_t kBinaryBytes = size_t(64) << 20;
const int kPatternLengths[] = {2, 4, 8, 16, 32, 86};
const int kBinaryPatternLengths[] = {2, 6, 16, 47, 86};
const DataKind kBinaries[] = {DataKind::Flash, DataKind::ZeroBlocks, DataKind::Table32, DataKind::Utf16,
                              DataKind::Executables, DataKind::TwoValues};

bool IsBinary(DataKind kind)
{
    return std::find(std::begin(kBinaries), std::end(kBinaries), kind) != std::end(kBinaries);
}

const std::vector<unsigned char>& Data(DataKind kind)
{
    static std::map<DataKind, std::vector<unsigned char>> cache;
    auto it = cache.find(kind);
    if (it == cache.end())
        it = cache.emplace(kind, MakeBenchData(kind, IsBinary(kind) ? kBinaryBytes : kBufferBytes)).first;
    return it->second;
}

enum class Searcher { FindPattern, QuickLoop, Library };

void Run(benchmark::State& state, const std::vector<unsigned char>& data, const std::vector<unsigned char>& pattern,
         Searcher searcher)
{
    const int32_t n = static_cast<int32_t>(pattern.size());
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

void Search(benchmark::State& state, DataKind kind, PatternShape shape, Searcher searcher)
{
    const auto& data = Data(kind);
    Run(state, data, MakeAbsentPattern(kind, data, static_cast<int32_t>(state.range(0)), 7, shape), searcher);
}

void SearchBinary(benchmark::State& state, DataKind kind, MissAt at, Searcher searcher)
{
    const auto& data = Data(kind);
    const auto pattern = MakeNearMiss(data, static_cast<int32_t>(state.range(0)), at);
    if (pattern.empty()) {
        state.SkipWithError("no data or no absent near miss");
        return;
    }
    Run(state, data, pattern, searcher);
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
    for (DataKind kind : kBinaries) {
        for (MissAt at : {MissAt::Early, MissAt::Middle, MissAt::Late}) {
            for (Searcher searcher : {Searcher::FindPattern, Searcher::QuickLoop, Searcher::Library}) {
                const std::string name = std::string(names[static_cast<int>(searcher)]) + "/" + DataKindName(kind) +
                                         "/" + MissAtName(at);
                auto* b = benchmark::RegisterBenchmark(name.c_str(), SearchBinary, kind, at, searcher);
                for (int n : kBinaryPatternLengths)
                    b->Arg(n);
                b->Unit(benchmark::kMillisecond)->MinTime(0.1);
            }
        }
    }
}

// Writes mib MiB of kind to path for the file search's benchmark, and beside it each
// near miss, path.N.AT.pat, that the data lacks.
int MakeFile(const std::string& path, const std::string& kindName, int mib)
{
    for (DataKind kind : kBinaries) {
        if (kindName != DataKindName(kind))
            continue;
        const auto data = MakeBenchData(kind, size_t(mib) << 20);
        if (data.empty())
            return 1;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                    static_cast<std::streamsize>(data.size()));
        for (int n : kBinaryPatternLengths) {
            for (MissAt at : {MissAt::Early, MissAt::Middle, MissAt::Late}) {
                const auto pattern = MakeNearMiss(data, n, at);
                if (!pattern.empty())
                    std::ofstream(path + "." + std::to_string(n) + "." + MissAtName(at) + ".pat", std::ios::binary)
                        .write(reinterpret_cast<const char*>(pattern.data()),
                               static_cast<std::streamsize>(pattern.size()));
            }
        }
        return 0;
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "make-file")
        return MakeFile(argv[2], argv[3], std::atoi(argv[4]));
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
