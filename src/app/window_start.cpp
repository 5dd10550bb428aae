#include "app/window_start.h"

namespace vellum::app {

WindowArguments ParseWindowArguments(const std::vector<std::string>& arguments) {
  constexpr std::string_view kOption = "--bios-disk";
  WindowArguments parsed;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == kOption && i + 1 < arguments.size()) parsed.biosDisks.push_back(arguments[++i]);
    else if (argument.starts_with(std::string(kOption) + '=')) parsed.biosDisks.push_back(argument.substr(kOption.size() + 1));
    else parsed.images.push_back(argument);
  }
  return parsed;
}

std::vector<std::string> AddWindowBiosUnits(LegacyPath& path, const std::vector<std::string>& disks) {
  std::vector<std::string> reasons;
  for (const std::string& disk : disks) {
    std::string error;
    if (!AddBiosDisks(path, {disk}, true, error) && !AddBiosDisks(path, {disk}, false, error))
      reasons.push_back(error);
  }
  return reasons;
}

}  // namespace vellum::app
