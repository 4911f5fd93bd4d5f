// The start-up globals and the working file's end.
#include "program/program.h"

#include <cstdio>

namespace vexal {

void InitGlobals(Program& program, int majorVersion, int minorVersion) {
    char minor[16];
    std::snprintf(minor, sizeof minor, "%02d", minorVersion);
    program.VersionText = std::to_string(majorVersion) + "." + minor;
    program.SettingsFileName = "vexal.ini";
    program.TitleText = "vexal " + program.VersionText;
    program.RequestHeaderBlock = std::string("From: ") + kContactAddress + "\r\nUser-Agent: vexal/" +
                                 program.VersionText + "\r\nHost: ";
}

void DeleteWorkingFile(const Program& program, FileSystem& files, const std::string& path) {
    if (path.empty() || (program.WorkImageIsChosen && path == program.WorkImageFile)) return;
    files.DeleteFile(path);
}

void DeleteScreenImages(Program& program, FileSystem& files) {
    for (const ScreenImage& screen : program.MoreScreens)
        // Screens that repeat the first screen's picture share its working file.
        if (!screen.isChosen && screen.file != program.WorkImageFile) files.DeleteFile(screen.file);
    program.MoreScreens.clear();
}

}  // namespace vexal
