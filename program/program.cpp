// The start-up globals.
#include "program/program.h"

#include <cstdio>

namespace vexal {

void InitGlobals(Program& program, int majorVersion, int minorVersion) {
    char minor[16];
    std::snprintf(minor, sizeof minor, "%02d", minorVersion);
    program.VersionText = std::to_string(majorVersion) + "." + minor;
    program.SettingsFileName = kSettingsFileName;
    program.TitleText = "vexal " + program.VersionText;
    program.RequestHeaderBlock = std::string("From: ") + kContactAddress + "\r\nUser-Agent: vexal/" +
                                 program.VersionText + "\r\nHost: ";
}

}  // namespace vexal
