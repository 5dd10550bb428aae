// The main window's controls and menu commands by id. Each control carries
// its id as its object name.
#pragma once

#include "app/main_control_ids.h"

namespace vellum::ui {

using namespace app::main_control_ids;

}  // namespace vellum::ui
