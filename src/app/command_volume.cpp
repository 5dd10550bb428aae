#include "app/command_volume.h"

#include "app/open_volume.h"

namespace vellum::app {

void Tell(Messages& messages, std::string_view text) {
  messages.Show(text, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
}

const volume::DriveEntry* SelectedDrive(const CommandContext& c) {
  const VolumeRequest& v = c.volume;
  if (!v.drives || v.selectedIndex < 0 || static_cast<size_t>(v.selectedIndex) >= v.drives->entries.size())
    return nullptr;
  return &v.drives->entries[static_cast<size_t>(v.selectedIndex)];
}

// Opens the volume again for the command without touching the caller's
// result list: a restore works from the rows the user chose.
bool Reopen(CommandContext& c, platform::OpenAccess access) {
  ResultList scratch;
  VolumeRequest request = c.volume;
  request.access = access;
  c.state.options = c.options;
  c.state.rows = nullptr;
  return OpenVolume(c.state, request, scratch, c.messages) == 1;
}

}  // namespace vellum::app
