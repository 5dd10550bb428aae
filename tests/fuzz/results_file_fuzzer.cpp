// Fuzz target: a results file as someone may hand it to `restore --results`
// or the load command: the refusal check, the load into a list, and the
// list saved again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/result_list.h"
#include "app/results_file.h"

namespace {

class QuietHost : public vellum::app::ResultsFileHost {
 public:
  std::string AskSavePath(std::string_view) override { return {}; }
  std::string AskOpenPath(std::string_view) override { return {}; }
  vellum::platform::SourceRelation RelationToSource(const std::string&) override {
    return vellum::platform::SourceRelation::kUnrelated;
  }
  std::string SourceName() override { return "card.img"; }
  bool SelectDrive(int32_t index) override { return index >= 0 && index < 60; }
  int OpenVolume() override { return 1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum::app;
  ResultsFileLines lines;
  lines.Assign(std::string(reinterpret_cast<const char*>(data), size));
  const std::string problem = lines.Problem("list.txt");
  ResultList list;
  QuietHost host;
  const int64_t rows = ApplyResultsFile(lines, list, host, nullptr);
  if (rows > 0 && static_cast<size_t>(rows) != list.RowCount()) __builtin_trap();
  const std::string saved = FormatResultsText(list, 0);
  // A list saved again has one line per row after its two first lines.
  size_t lineEnds = 0;
  for (char c : saved) lineEnds += c == '\n';
  if (lineEnds != list.RowCount() + 2) __builtin_trap();
  return 0;
}
