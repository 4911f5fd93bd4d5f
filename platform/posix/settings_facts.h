// What the choice of the settings file needs to know on a POSIX system: the current folder,
// the home folder (where the menu entry and the scheduled runs work), and where a file of
// that name stands.
#pragma once

#include <string>

#include "settings/settings_location.h"

namespace vexal {

SettingsFacts FindSettingsFacts(const std::string& fileName);

// Makes `folder` the current folder; false when it cannot be entered.
bool EnterFolder(const std::string& folder);

}  // namespace vexal
