// What the restore and complete-deletion commands share: the drive they act
// on, opening it again for the command, and a plain message.
#pragma once

#include <string_view>

#include "app/search_command.h"
#include "platform/device_open.h"
#include "volume/drives.h"

namespace vellum::app {

// A message with an OK button and no icon.
void Tell(Messages& messages, std::string_view text);

// The drive box entry the command acts on; null when none is selected.
const volume::DriveEntry* SelectedDrive(const CommandContext& context);

// Opens the volume again for the command without touching the caller's
// result list: a restore works from the rows the user chose.
bool Reopen(CommandContext& context, platform::OpenAccess access);

}  // namespace vellum::app
