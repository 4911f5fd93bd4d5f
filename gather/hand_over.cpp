// Handing a retrieval's pictures to the installation.
#include "gather/hand_over.h"

#include <algorithm>

#include "gather/picks.h"

namespace vexal {

std::vector<Screen> ScreensOfEntry(const Program& program, const WallpaperServices& services) {
    // With one screen, or a picture named on the command line, nothing changes.
    if (program.RunMode == RunModeValue::Direct || !program.CurrentEntry().EachScreen) return {};
    return ScreensForEachPicture(services);
}

InstallRequest InstallRequestFor(const Program& program, const RetrievedPictures& pictures,
                                 std::vector<Screen> screens, const Picture* shown) {
    InstallRequest request;
    for (const PictureInHand& picture : pictures.screens)
        request.pictures.push_back(
            {picture.WorkImageFile, picture.ChosenImage,
             !picture.WorkImageIsChosen && pictures.working.Owns(picture.WorkImageFile)});
    // A picture named on the command line keeps the desktop's style.
    if (program.RunMode != RunModeValue::Direct) {
        request.style = program.CurrentEntry().WpState;
        request.background = program.CurrentEntry().Background;
    }
    request.wallpaperName = program.WinFolderWPname;
    request.screens = std::move(screens);
    request.shown = shown;
    return request;
}

InstallResult InstallRetrieved(const Program& program, RetrievedPictures& pictures,
                               const WallpaperServices& services, const Picture* shown) {
    const std::vector<Screen> screens = ScreensOfEntry(program, services);
    const InstallResult installed =
        InstallWallpaper(InstallRequestFor(program, pictures, screens, shown), services);
    if (installed.Ok() && program.RunMode != RunModeValue::Direct) {
        // Only the pictures that went on a screen: with more pictures than screens the
        // rest were never shown.
        const std::size_t shownCount =
            screens.empty() ? 1 : std::min(screens.size(), pictures.screens.size());
        std::vector<std::string> candidates;
        for (std::size_t k = 0; k < shownCount && k < pictures.screens.size(); ++k)
            candidates.push_back(pictures.screens[k].candidate);
        RecordPicks(*services.files, services.desktop, program.CurrentEntry().Name, candidates);
    }
    pictures.working.DeleteAll();
    return installed;
}

}  // namespace vexal
