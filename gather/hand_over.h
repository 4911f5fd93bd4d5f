// Handing a retrieval's pictures to the installation: the request they make with the
// entry's style and screens, and, once the change has held, the entry's history.
#pragma once

#include <vector>

#include "gather/working_files.h"
#include "host/picture.h"
#include "program/program.h"
#include "wallpaper/install.h"

namespace vexal {

// The screens the current entry puts a picture on each of: several screens, for an entry
// with a picture for each screen (not a picture named on the command line); none
// otherwise, and one picture covers the desktop.
std::vector<Screen> ScreensOfEntry(const Program& program, const WallpaperServices& services);

// The installation of `pictures` for the current entry on `screens` (see ScreensOfEntry);
// `shown` is the first picture as the preview decoded it, if it did.
InstallRequest InstallRequestFor(const Program& program, const RetrievedPictures& pictures,
                                 std::vector<Screen> screens, const Picture* shown = nullptr);

// Installs `pictures`; once the change has held, the entry's history remembers the
// candidates shown. The working files go either way.
[[nodiscard]] InstallResult InstallRetrieved(const Program& program, RetrievedPictures& pictures,
                                             const WallpaperServices& services,
                                             const Picture* shown = nullptr);

}  // namespace vexal
