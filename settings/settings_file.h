// The settings file: four global settings and the registered entries, code page 932 on
// disk with CR LF line ends, read once at start-up and rewritten whole by the editor.
// Hand-edited files with LF line ends (or in UTF-8) are read too. A file whose text fits
// code page 932 is written back as code page 932 with CR LF; one holding a character
// outside it (an accented letter, an emoji) as UTF-8 with a byte-order mark, CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/file_system.h"
#include "program/program.h"
#include "settings/source_kind.h"

namespace vexal {

enum class SaveResult {
    Saved,
    // The file could not be written; the previous file is untouched.
    WriteFailed,
};

// Resets the entries to one default element and the four settings to their first-run
// values (NewMsg "(新規)", CacheFileName "wpcache", WinFolderWPname "wallpaper.bmp",
// TimeOut 30), then reads Program::SettingsFileName over them: a key the file lacks keeps
// its default, and a missing or unreadable file leaves no entries. False when there was
// no file to read.
bool LoadSettings(Program& program, FileSystem& files);

// The settings file as the messages about it name it. On Windows its full path: a start in
// the program's own folder works in the user's Documents folder, wherever the system keeps
// it, so how the program was started does not tell the user where the file is. Elsewhere
// the name the run uses, as these messages have always given it.
std::string SettingsFileForMessages(const Program& program, const FileSystem& files);

// Whether ':' is refused in a file name of the settings. On Windows it names a drive
// ("C:x" is x in the current folder of drive C) or one of a file's alternate data streams
// ("x:s"), never a plain file beside the others; elsewhere it is an ordinary character that
// existing settings files may use.
inline constexpr bool kColonRefusedInFileNames = kFolderSeparator == '\\';

// Whether Windows' own rules for names apply: its device names, the characters it keeps
// for patterns and redirection, and a trailing dot or blank, which it drops without a word
// ("trail.bmp." is written as "trail.bmp"). Letter case is ignored in names there.
inline constexpr bool kWindowsFileNameRules = kFolderSeparator == '\\';

// A name the program may create, replace and delete beside others: not empty, not "." or
// "..", and without "/" or "\" (nor ':' where kColonRefusedInFileNames). Where
// kWindowsFileNameRules, also none of ? * | < > " or a control character, no trailing dot
// or blank, and no device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension).
// Anything else would make the working copy or the bitmap a folder, the folder that holds
// them, a device, or a file somewhere else.
bool IsBareFileName(std::string_view name);

// Whether `name` is one of the program's own files in its folders (the run lock, the
// history, the style record, a last-run record, the schedule log, a kept wallpaper, a
// working file being written) or the settings file `settingsFileName` (a path: its last
// part counts). Letter case is ignored where kWindowsFileNameRules.
bool IsOwnFileName(std::string_view name, std::string_view settingsFileName);

// The settings key ("WinFolderWPname" or "CacheFileName") whose file name IsBareFileName
// refuses, or that IsOwnFileName finds, or null when both may be used.
const char* UnusableFileNameKey(const Program& program);

// Parses settings-file bytes (code page 932, or UTF-8 with `acceptUtf8` where
// DecodeLocalText takes it) into `program`, as LoadSettings does.
void ParseSettings(Program& program, std::string_view bytes, bool acceptUtf8 = false);

// Writes the whole file from memory, replacing the old one atomically.
[[nodiscard]] SaveResult SaveSettings(const Program& program, FileSystem& files);

// The file's bytes as SaveSettings writes them. True when they are code page 932; false
// when a character does not fit code page 932 and the whole file is UTF-8 with a
// byte-order mark instead.
bool SettingsFileBytes(const Program& program, std::string& bytesOut);

// The word the settings file holds for a schedule ("hourly", "daily", "logon"; "" for
// Never), and the schedule a value names: letter case and blanks around it ignored, any
// other word (a hand-edited file) naming none.
const char* ScheduleText(ScheduleKind kind);
ScheduleKind ReadSchedule(std::string_view value);

// The nine lines of entry `index` (then MinWidth and Schedule, each when it is set), joined by CR LF,
// without a final CR LF (UTF-8).
std::string FormatEntry(const Program& program, std::int32_t index);

std::string EscapeComment(std::string_view comment);
std::string UnescapeComment(std::string_view stored);

}  // namespace vexal
