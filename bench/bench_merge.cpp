// The merge of two time-ordered histories of 1 000 000 messages each, in both modes, next
// to std::sort of as many doubles as the sorting mode orders (the floor it is measured
// against), and the same on histories where many messages share one second.

#include "merge/Merge.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace vimosync;

namespace {

constexpr double kDay0 = 38783.0;
constexpr double kSecond = 1.0 / 86400.0;

struct Pair {
    TZMTMessList source;
    TZMTMessList destination;
};

// Destination: count messages in time order, groupSize messages per second (1 = one every
// few seconds). Source: the same history with 1% of the messages changed, as a history
// that the other side has not seen in full, its clock shiftSeconds behind.
Pair MakePair(int count, int groupSize, int shiftSeconds = 0) {
    static const char* const kWords[] = {"hello", "ok",      "see",    "you", "tomorrow", "at",
                                         "the",   "station", "привет", "как", "дела",     "?"};
    std::mt19937 rng(42);
    HArena arena;
    Pair p;
    p.destination.Items.reserve(static_cast<std::size_t>(count));
    p.source.Items.reserve(static_cast<std::size_t>(count));
    double t = kDay0;
    std::uniform_int_distribution<int> gap(1, 120);
    std::uniform_int_distribution<int> words(2, 10);
    std::uniform_int_distribution<std::size_t> word(0, std::size(kWords) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int k = 0; k < count; ++k) {
        if (k % groupSize == 0) {
            t += gap(rng) * kSecond;
        }
        arena.begin();
        const int n = words(rng);
        for (int w = 0; w < n; ++w) {
            arena.append(kWords[word(rng)]);
            arena.append(" ");
        }
        arena.append(std::to_string(k));
        TZMTMess m;
        m.Time = t;
        m.Stamp = k;
        m.Outgoing = (k & 1) != 0;
        m.Nick = m.Outgoing ? "me" : "contact";
        m.Text = arena.finish();
        p.destination.Items.push_back(m);
        if (percent(rng) == 0) {
            m.Text = arena.add("changed on the other side " + std::to_string(k));
        }
        m.Time -= shiftSeconds * kSecond;
        p.source.Items.push_back(m);
    }
    return p;
}

void RunMerge(benchmark::State& state, int mode, int groupSize, int shiftSeconds = 0) {
    const int count = static_cast<int>(state.range(0));
    Pair p = MakePair(count, groupSize, shiftSeconds);
    TMergeOptions gMerge;
    gMerge.MessMergeMode = static_cast<std::uint8_t>(mode);
    const TReadOptions gRead;
    int diffs = 0;
    for (auto _ : state) {
        TZMTMessList result;
        MergeHistories(p.source, p.destination, result, gMerge, gRead);
        diffs = result.DiffCount;
        state.PauseTiming();
        result.Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2 * count);
    state.counters["diffs"] = diffs;
}

void BM_SortDoubles(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> dist(kDay0, kDay0 + 3650);
    std::vector<double> input(n);
    for (double& d : input) {
        d = dist(rng);
    }
    std::vector<double> work;
    for (auto _ : state) {
        state.PauseTiming();
        work = input;
        state.ResumeTiming();
        std::sort(work.begin(), work.end());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

// The same number of doubles as two ascending runs one after the other, the shape of the
// sorting mode's input.
void BM_SortDoublesTwoRuns(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> dist(kDay0, kDay0 + 3650);
    std::vector<double> input(n);
    for (double& d : input) {
        d = dist(rng);
    }
    std::sort(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n / 2));
    std::sort(input.begin() + static_cast<std::ptrdiff_t>(n / 2), input.end());
    std::vector<double> work;
    for (auto _ : state) {
        state.PauseTiming();
        work = input;
        state.ResumeTiming();
        std::sort(work.begin(), work.end());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void BM_Mode0(benchmark::State& state) {
    RunMerge(state, 0, 1);
}
void BM_Mode1(benchmark::State& state) {
    RunMerge(state, 1, 1);
}
// The smart mode on one clock (what mode 1 gives), and with the source an hour behind.
void BM_Mode2(benchmark::State& state) {
    RunMerge(state, 2, 1);
}
void BM_Mode2HourBehind(benchmark::State& state) {
    RunMerge(state, 2, 1, 3600);
}
void BM_Mode1HourBehind(benchmark::State& state) {
    RunMerge(state, 1, 1, 3600);
}

// Many messages inside one second: groups of range(1) messages share one time.
void BM_Mode0Crowded(benchmark::State& state) {
    RunMerge(state, 0, static_cast<int>(state.range(1)));
}
void BM_Mode1Crowded(benchmark::State& state) {
    RunMerge(state, 1, static_cast<int>(state.range(1)));
}

} // namespace

BENCHMARK(BM_SortDoubles)->Arg(2'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortDoublesTwoRuns)->Arg(2'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode0)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode1)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode2)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode1HourBehind)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode2HourBehind)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode0Crowded)
    ->Args({1'000'000, 20})
    ->Args({1'000'000, 200})
    ->Args({100'000, 2000})
    ->Args({20'000, 20'000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mode1Crowded)
    ->Args({1'000'000, 20})
    ->Args({1'000'000, 200})
    ->Args({100'000, 2000})
    ->Args({20'000, 20'000})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
