// The result list at the size a full cluster scan of a large volume reaches:
// a million rows filled, sorted by a number and by text, cleared, saved and
// loaded. Build with -DVELLUM_BUILD_BENCH=ON and run result_list_bench.
#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdio>
#include <random>

#include "app/result_list.h"
#include "app/results_file.h"
#include "volume/listing.h"
#include "volume/scan_state.h"

namespace vellum::app {
namespace {

constexpr size_t kRows = 1'000'000;

const char* const kExtensions[] = {".jpg", ".txt", ".docx", ".pdf", ".mp4", ""};
const char* const kFolders[] = {"sdb1:/DCIM/100CANON", "sdb1:/Documents/Reports/2013",
                                "sdb1:/写真/旅行", "sdb1:/"};

void Fill(ResultList& list, size_t rows) {
  std::mt19937_64 random(42);
  char text[64];
  for (size_t i = 0; i < rows; ++i) {
    const uint64_t r = random();
    std::snprintf(text, sizeof text, "IMG_%05" PRIu64 "%s", r % 100000, kExtensions[r % 6]);
    list.InsertRow(i, text, 0);
    list.SetCell(i, 1, kFolders[(r >> 8) % 4]);
    std::snprintf(text, sizeof text, "%" PRIu64,
                  static_cast<uint64_t>((r >> 16) % 20'000'000'000ULL));
    list.SetCell(i, 2, text);
    list.SetCell(i, 3, "JPEG イメージ");
    list.SetCell(
        i, 4,
        volume::FormatDosDateTime(static_cast<uint16_t>(r >> 24), static_cast<uint16_t>(r >> 40)));
    std::snprintf(text, sizeof text, "%8" PRIu64, (r >> 20) % 4'000'000);
    list.SetCell(i, 5, text);
    list.SetDataWord(i, static_cast<uint32_t>(r & 3));
  }
}

ResultList& Shared() {
  static ResultList list = [] {
    ResultList l;
    l.SetClusterColumn(volume::kFat32);
    Fill(l, kRows);
    return l;
  }();
  return list;
}

void BM_Fill(benchmark::State& state) {
  for (auto _ : state) {
    ResultList list;
    list.SetClusterColumn(volume::kFat32);
    Fill(list, kRows);
    benchmark::DoNotOptimize(list.RowCount());
    state.PauseTiming();
    list.ClearRows();  // not part of filling
    state.ResumeTiming();
  }
}

// Each iteration first scrambles the rows by the date column (untimed), so
// every timed sort starts ascending from a random order.
void SortBy(benchmark::State& state, size_t column) {
  ResultList& list = Shared();
  for (auto _ : state) {
    state.PauseTiming();
    list.OnColumnClick(4);
    state.ResumeTiming();
    list.OnColumnClick(column);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * list.RowCount()));
}

void BM_SortSize(benchmark::State& state) { SortBy(state, 2); }
void BM_SortCluster(benchmark::State& state) { SortBy(state, 5); }
void BM_SortName(benchmark::State& state) { SortBy(state, 0); }
void BM_SortFolder(benchmark::State& state) { SortBy(state, 1); }

void BM_SortSizeDescendingOfSorted(benchmark::State& state) {
  ResultList& list = Shared();
  for (auto _ : state) list.OnColumnClick(2);  // alternates ascending and descending
}

void BM_Clear(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    ResultList list;
    list.SetClusterColumn(volume::kFat32);
    Fill(list, kRows);
    state.ResumeTiming();
    list.ClearRows();
  }
}

void BM_FormatResultsText(benchmark::State& state) {
  ResultList& list = Shared();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = FormatResultsText(list, 2);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["MiB"] = static_cast<double>(bytes) / (1 << 20);
}

class OpenAnyDrive : public ResultsFileHost {
 public:
  std::string AskSavePath(std::string_view) override { return {}; }
  std::string AskOpenPath(std::string_view) override { return {}; }
  bool IsOnSourceDevice(const std::string&) override { return false; }
  bool SelectDrive(int32_t) override { return true; }
  int OpenVolume() override { return 1; }
};

void BM_LoadResultsText(benchmark::State& state) {
  const std::string text = FormatResultsText(Shared(), 2);
  OpenAnyDrive host;
  for (auto _ : state) {
    state.PauseTiming();
    ResultList list;
    ResultsFileLines lines;
    lines.Assign(text);
    state.ResumeTiming();
    benchmark::DoNotOptimize(ApplyResultsFile(lines, list, host, nullptr));
    state.PauseTiming();
    list.ClearRows();
    state.ResumeTiming();
  }
}

BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortCluster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortSizeDescendingOfSorted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clear)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FormatResultsText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadResultsText)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vellum::app

BENCHMARK_MAIN();
