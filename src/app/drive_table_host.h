// What a window answers the results file from its drive table alone: which
// volume a path lies on, the source's name, and the entries' root texts.
// The window adds its dialogs (the file dialogs, selecting an entry,
// opening the volume).
#pragma once

#include "app/results_file.h"
#include "volume/drives.h"
#include "volume/scan_state.h"

namespace vellum::app {

class DriveTableResultsHost : public ResultsFileHost {
 public:
  DriveTableResultsHost(const volume::DriveTable& drives, const volume::ScanState& state)
      : drives_(drives), state_(state) {}

  platform::SourceRelation RelationToSource(const std::string& path) override;
  std::string SourceName() override;
  bool KnowsRootTexts() override { return true; }
  std::string DriveRootText(int32_t index) override;
  int32_t FindDrive(std::string_view rootText) override;

 private:
  const volume::DriveEntry* Entry(int32_t index) const;

  const volume::DriveTable& drives_;
  const volume::ScanState& state_;
};

}  // namespace vellum::app
