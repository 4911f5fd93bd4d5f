// The words for each kind of failure the layers below report, from the table of
// messages (and net/'s table of status and socket-error texts), and the box they are
// shown in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gather/retrieval_result.h"
#include "host/desktop.h"
#include "host/dialogs.h"
#include "host/file_system.h"
#include "host/image_decoder.h"
#include "net/transfer.h"
#include "program/program.h"
#include "settings/settings_file.h"
#include "settings/settings_merge.h"
#include "wallpaper/install.h"

namespace vexal {

// Why a file could not be written, in words, for the end of the line that names the file
// ("…を書き込めませんでした。ディスクの空きが足りません。"); empty when there is nothing the
// user could act on.
std::string FileFailureText(Language language, FileFailure failure);

// Why a settings file that is there could not be read, in words, for the end of the line
// that names it; empty when the system gave no reason the user could act on.
std::string SettingsReadText(Language language, const SettingsLoad& load);

// The lines of the question about conflicting changes, one for each conflict, joined by
// CR LF.
std::string ConflictLines(Language language, const std::vector<MergeConflict>& conflicts);

// The message for a picture that could not be used, naming the file.
std::string PictureErrorText(Language language, const std::string& path, const DecodeResult& result);

// The message for a failed fetch; empty when there is nothing to say (the user declined
// to wait for a silent server, having been asked).
std::string FetchFailureText(Language language, const FetchResult& result);

// The message for a failed retrieval; empty when there is nothing to say.
std::string RetrievalFailureText(Language language, const RetrievalResult& result);

// Why the desktop failed, as the second line of a message; empty when it gave no reason.
std::string DesktopFailureText(Language language, const DesktopResult& result);

// How a failed installation is told: an error box (title TitleText), a plain notice
// (title "vexal"), or nothing.
enum class BoxKind : std::uint8_t { Nothing, Error, Notice };
struct FailureBox {
    BoxKind kind = BoxKind::Nothing;
    std::string text;
};
FailureBox InstallFailureBox(Language language, const InstallResult& result);

// The error box: error icon, title TitleText. Every failure the user is told of goes
// through it.
void ShowError(const Program& program, Dialogs& dialogs, const std::string& text);

}  // namespace vexal
