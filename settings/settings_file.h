// The settings file: four global settings and the registered entries, code page 932 on
// disk with CR LF line ends, read once at start-up and rewritten whole by the editor.
// Hand-edited files with LF line ends (or in UTF-8) are read too. A file whose text fits
// code page 932 is written back as code page 932 with CR LF; one holding a character
// outside it (an accented letter, an emoji) as UTF-8 with a byte-order mark, CR LF.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/file_system.h"
#include "program/program.h"
#include "settings/source_kind.h"

namespace vexal {

enum class SaveResult {
    Saved,
    // The file could not be written; the previous file is untouched.
    WriteFailed,
};

// The most a settings file may hold. Far beyond any real one (a thousand entries take
// half a megabyte), and small enough that reading it never exhausts memory: a file the
// size of a disk, or a link to /dev/zero, is refused by its size instead.
inline constexpr std::uint64_t kSettingsFileBound = kLocalTextBound;

enum class SettingsReadKind : std::uint8_t {
    Read,
    Missing,
    // It is there but cannot be read or holds no text: it must never be written over, or
    // every entry it holds is lost.
    Unreadable,
};

struct SettingsLoad {
    SettingsReadKind kind = SettingsReadKind::Missing;
    // Why an Unreadable file could not be read: NotPermitted, Folder, TooLarge, Other, or
    // Nothing when it was read but is no text (it holds NUL bytes: a binary file, or text
    // saved as UTF-16, which the program cannot read).
    ReadFailure reason = ReadFailure::Nothing;
    std::uint64_t bound = kSettingsFileBound;  // for TooLarge
    bool Read() const { return kind == SettingsReadKind::Read; }
};

// Reads the settings file's bytes within kSettingsFileBound and tells whether they are
// text the program can read.
[[nodiscard]] SettingsLoad ReadSettingsBytes(const std::string& path, FileSystem& files,
                                             std::string& bytesOut);

// Resets the entries to one default element and the four settings to their first-run
// values (NewMsg "(新規)", CacheFileName "wpcache", WinFolderWPname "wallpaper.bmp",
// TimeOut 30), then reads Program::SettingsFileName over them: a key the file lacks keeps
// its default, and a missing or unreadable file leaves no entries. `bytesOut`, when given,
// receives the bytes read.
[[nodiscard]] SettingsLoad LoadSettings(Program& program, FileSystem& files, std::string* bytesOut = nullptr);

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

// Settings text (UTF-8, CR LF) as the file's bytes: code page 932 when every character
// fits (true), else UTF-8 with a byte-order mark (false).
bool EncodeSettingsText(std::string_view text, std::string& bytesOut);

// The lines of settings-file bytes, decoded as ParseSettings decodes them, line ends
// removed.
std::vector<std::string> SettingsLines(std::string_view bytes, bool acceptUtf8);

// What ParseSettings makes of a line: a separator ("-" first), a key line (`keyOut` the key
// lower-cased, `valueOut` its value) or nothing it reads (a comment, a blank line).
enum class SettingsLineKind : std::uint8_t { Other, Separator, Key };
SettingsLineKind ClassifySettingsLine(std::string_view line, std::string& keyOut, std::string_view& valueOut);

// The fields of an entry as the file names them, in the order FormatEntry writes them.
enum class EntryField : std::uint8_t {
    Name,
    Url,
    Comment,
    Filter,
    Ext,
    WpState,
    No,
    No_n,
    Refstr,
    MinWidth,
    Schedule,
    EachScreen,
    Background,
};
inline constexpr std::array<EntryField, 13> kEntryFields = {
    EntryField::Name,       EntryField::Url,      EntryField::Comment,  EntryField::Filter,
    EntryField::Ext,        EntryField::WpState,  EntryField::No,       EntryField::No_n,
    EntryField::Refstr,     EntryField::MinWidth, EntryField::Schedule, EntryField::EachScreen,
    EntryField::Background,
};
// The key as written ("Url"), and whether the entry's value is written at all (the
// extensions' only when set).
const char* EntryFieldKey(EntryField field);
bool EntryFieldWritten(const SiteEntry& entry, EntryField field);
// The field's line as FormatEntry writes it ("Url = http://…").
std::string EntryFieldLine(const SiteEntry& entry, EntryField field);
bool SameEntryField(const SiteEntry& a, const SiteEntry& b, EntryField field);
void CopyEntryField(SiteEntry& to, const SiteEntry& from, EntryField field);

// The four settings, as the file names them.
enum class GlobalField : std::uint8_t { NewMsg, CacheFileName, WinFolderWPname, TimeOut };
inline constexpr std::array<GlobalField, 4> kGlobalFields = {
    GlobalField::NewMsg, GlobalField::CacheFileName, GlobalField::WinFolderWPname, GlobalField::TimeOut};
const char* GlobalFieldKey(GlobalField field);
std::string GlobalFieldLine(const StoredSettings& settings, GlobalField field);
bool SameGlobalField(const StoredSettings& a, const StoredSettings& b, GlobalField field);
void CopyGlobalField(StoredSettings& to, const StoredSettings& from, GlobalField field);

// The file's bytes as SaveSettings writes them. True when they are code page 932; false
// when a character does not fit code page 932 and the whole file is UTF-8 with a
// byte-order mark instead.
bool SettingsFileBytes(const Program& program, std::string& bytesOut);

// The word the settings file holds for a schedule ("hourly", "daily", "logon"; "" for
// Never), and the schedule a value names: letter case and blanks around it ignored, any
// other word (a hand-edited file) naming none.
const char* ScheduleText(ScheduleKind kind);
ScheduleKind ReadSchedule(std::string_view value);

// A colour as the settings file holds it ("#1E3A5F"), and the colour a value names: six
// hexadecimal digits, "#" and blanks around them optional, letter case ignored; anything
// else (a hand-edited file) names none.
std::string ColourText(std::uint32_t colour);
std::optional<std::uint32_t> ReadColour(std::string_view value);

// The nine lines of entry `index` (then MinWidth and Schedule, each when it is set), joined by CR LF,
// without a final CR LF (UTF-8).
std::string FormatEntry(const Program& program, std::int32_t index);

std::string EscapeComment(std::string_view comment);
std::string UnescapeComment(std::string_view stored);

}  // namespace vexal
