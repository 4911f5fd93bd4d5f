// Reading and writing the settings file.
#include "settings/settings_file.h"

#include <algorithm>
#include <utility>

#include "text/case.h"
#include "text/codepage.h"
#include "text/number.h"

namespace vexal {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// Flag j is the j-th character, so a multi-byte character before a flag counts once.
template <std::size_t N>
void ReadFlags(std::string_view value, std::array<bool, N>& flags) {
    std::size_t pos = 0;
    for (std::size_t j = 0; j < N; ++j) flags[j] = pos < value.size() && NextUtf8(value, pos) == U'1';
}

template <std::size_t N>
std::string FlagText(const std::array<bool, N>& flags) {
    std::string out;
    for (bool f : flags) out.push_back(f ? '1' : '0');
    return out;
}

void ApplyLine(Program& program, std::string_view line) {
    std::string key;
    std::string_view value;
    switch (ClassifySettingsLine(line, key, value)) {
        case SettingsLineKind::Other:
            return;
        case SettingsLineKind::Separator:
            program.SiteEntries.emplace_back();
            return;
        case SettingsLineKind::Key:
            break;
    }
    SiteEntry& e = program.SiteEntries.back();
    if (key == "cachefilename")
        program.CacheFileName = value;
    else if (key == "newmsg")
        program.NewMsg = value;
    else if (key == "winfolderwpname")
        program.WinFolderWPname = value;
    else if (key == "timeout")
        program.TimeOut = ReadInt32(value);
    else if (key == "name")
        e.Name = value;
    else if (key == "url")
        e.Url = value;
    else if (key == "comment")
        e.Comment = UnescapeComment(value);
    else if (key == "no_n")
        e.No_n = ReadInt32(value);
    else if (key == "refstr")
        e.Refstr = value;
    else if (key == "filter")
        ReadFlags(value, e.Filter);
    else if (key == "ext")
        ReadFlags(value, e.Ext);
    else if (key == "wpstate")
        e.WpState = WallpaperStyle{ReadByte(value)};
    else if (key == "no")
        e.No = ChoiceMode{ReadByte(value)};
    else if (key == "minwidth")
        e.MinWidth = ReadInt32(value);
    else if (key == "schedule")
        e.Schedule = ReadSchedule(value);
    else if (key == "eachscreen")
        e.EachScreen = ReadInt32(value) != 0;
    else if (key == "background")
        e.Background = ReadColour(value);
}

// A file holding a NUL byte is no text in code page 932 or UTF-8: a binary file, or text
// saved as UTF-16. Read as text it would give no entries, and saving would replace it.
bool LooksLikeText(std::string_view bytes) { return bytes.find('\0') == std::string_view::npos; }

}  // namespace

const char* ScheduleText(ScheduleKind kind) {
    // The texts an older copy does not know ("15min", …) it reads as no schedule at all, so
    // none of them may start with a known one.
    switch (kind) {
        case ScheduleKind::Every15Minutes:
            return "15min";
        case ScheduleKind::Every30Minutes:
            return "30min";
        case ScheduleKind::Hourly:
            return "hourly";
        case ScheduleKind::Every3Hours:
            return "3hours";
        case ScheduleKind::Every6Hours:
            return "6hours";
        case ScheduleKind::Daily:
            return "daily";
        case ScheduleKind::Logon:
            return "logon";
        case ScheduleKind::Never:
            break;
    }
    return "";
}

ScheduleKind ReadSchedule(std::string_view value) {
    const std::string word = ToLower(TrimSpaces(value));
    for (ScheduleKind kind :
         {ScheduleKind::Every15Minutes, ScheduleKind::Every30Minutes, ScheduleKind::Hourly,
          ScheduleKind::Every3Hours, ScheduleKind::Every6Hours, ScheduleKind::Daily, ScheduleKind::Logon})
        if (word == ScheduleText(kind)) return kind;
    return ScheduleKind::Never;
}

std::string ColourText(std::uint32_t colour) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "#";
    for (int shift = 20; shift >= 0; shift -= 4) text.push_back(kHex[(colour >> shift) & 15]);
    return text;
}

std::optional<std::uint32_t> ReadColour(std::string_view value) {
    std::string_view digits = TrimSpaces(value);
    if (!digits.empty() && digits.front() == '#') digits.remove_prefix(1);
    if (digits.size() != 6) return std::nullopt;
    std::uint32_t colour = 0;
    for (char c : digits) {
        const char lower = static_cast<char>(c | 0x20);
        if (c >= '0' && c <= '9')
            colour = colour << 4 | static_cast<std::uint32_t>(c - '0');
        else if (lower >= 'a' && lower <= 'f')
            colour = colour << 4 | static_cast<std::uint32_t>(lower - 'a' + 10);
        else
            return std::nullopt;
    }
    return colour;
}

SettingsLineKind ClassifySettingsLine(std::string_view line, std::string& keyOut,
                                      std::string_view& valueOut) {
    if (line.empty()) return SettingsLineKind::Other;
    if (line[0] == '-') return SettingsLineKind::Separator;
    if (!IsAsciiLetter(line[0])) return SettingsLineKind::Other;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return SettingsLineKind::Other;
    keyOut = ToLower(TrimSpaces(line.substr(0, eq)));
    // The one character after "=" (the blank of the written form) is dropped, whatever it is.
    std::size_t valueStart = eq + 1;
    if (valueStart < line.size()) NextUtf8(line, valueStart);
    valueOut = line.substr(valueStart);
    return SettingsLineKind::Key;
}

namespace {

// Calls `line` for each line of settings-file bytes, decoded, line ends removed. The lines
// are handed over one by one: a file of millions of empty lines must not become millions
// of strings at once.
template <typename Line>
void ForEachSettingsLine(std::string_view bytes, bool acceptUtf8, Line&& line) {
    // A byte-order mark is how this program writes a file that code page 932 cannot hold,
    // so it means UTF-8 wherever the file is read.
    const std::string text = DecodeLocalText(bytes, acceptUtf8 || bytes.substr(0, 3) == "\xEF\xBB\xBF");
    const std::string_view all(text);
    // A line ends at CR LF or at a lone CR; a lone LF stays inside the line. A file
    // without any CR was written by an editor that ends lines with LF alone, and each
    // LF ends a line there.
    const char lineEnd = all.find('\r') == std::string_view::npos ? '\n' : '\r';
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find(lineEnd, start);
        if (end == std::string_view::npos) {
            line(all.substr(start));
            break;
        }
        line(all.substr(start, end - start));
        start = end + 1;
        if (lineEnd == '\r' && start < all.size() && all[start] == '\n') ++start;
    }
}

}  // namespace

std::vector<std::string> SettingsLines(std::string_view bytes, bool acceptUtf8) {
    std::vector<std::string> lines;
    ForEachSettingsLine(bytes, acceptUtf8, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

void ParseSettings(Program& program, std::string_view bytes, bool acceptUtf8) {
    program.SiteEntries.assign(1, SiteEntry{});
    ForEachSettingsLine(bytes, acceptUtf8, [&program](std::string_view line) { ApplyLine(program, line); });
}

SettingsLoad ReadSettingsBytes(const std::string& path, FileSystem& files, std::string& bytesOut) {
    SettingsLoad load;
    load.reason = files.ReadFileAtMost(path, kSettingsFileBound, bytesOut);
    switch (load.reason) {
        case ReadFailure::Nothing:
            load.kind = LooksLikeText(bytesOut) ? SettingsReadKind::Read : SettingsReadKind::Unreadable;
            break;
        case ReadFailure::Missing:
            load.kind = SettingsReadKind::Missing;
            break;
        case ReadFailure::NotPermitted:
        case ReadFailure::Folder:
        case ReadFailure::TooLarge:
        case ReadFailure::Other:
            load.kind = SettingsReadKind::Unreadable;
            break;
    }
    if (!load.Read()) bytesOut.clear();
    return load;
}

SettingsLoad LoadSettings(Program& program, FileSystem& files, std::string* bytesOut) {
    // Settings that work, before the file is read: a first run finds them, so the file the
    // editor saves later works too (nothing is written until then), and a hand-written
    // file that leaves a key out keeps its default instead of an empty file name.
    program.SiteEntries.assign(1, SiteEntry{});
    program.NewMsg = "(新規)";
    program.CacheFileName = "wpcache";
    program.WinFolderWPname = "wallpaper.bmp";
    program.TimeOut = 30;
    std::string bytes;
    const SettingsLoad load = ReadSettingsBytes(program.SettingsFileName, files, bytes);
    if (load.Read()) ParseSettings(program, bytes, files.TextMayBeUtf8());
    if (bytesOut) *bytesOut = std::move(bytes);
    return load;
}

std::string SettingsFileForMessages(const Program& program, const FileSystem& files) {
    return kFolderSeparator == '\\' ? files.FullPath(program.SettingsFileName) : program.SettingsFileName;
}

const char* UnusableFileNameKey(const Program& program) {
    const auto usable = [&](const std::string& name) {
        return IsBareFileName(name) && !IsOwnFileName(name, program.SettingsFileName);
    };
    if (!usable(program.WinFolderWPname)) return "WinFolderWPname";
    if (!usable(program.CacheFileName)) return "CacheFileName";
    return nullptr;
}

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in every folder, whatever follows
// the first dot ("nul.bmp" is the device too) and with blanks before it.
bool IsWindowsDeviceName(std::string_view name) {
    std::string stem = ToLower(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
    return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) && stem[3] >= '1' &&
           stem[3] <= '9';
}

}  // namespace

bool IsBareFileName(std::string_view name) {
    const std::string_view refused = kColonRefusedInFileNames ? "/\\:" : "/\\";
    if (name.empty() || name == "." || name == ".." || name.find_first_of(refused) != std::string_view::npos)
        return false;
    if (!kWindowsFileNameRules) return true;
    if (name.back() == '.' || name.back() == ' ') return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("?*|<>\"").find(c) != std::string_view::npos)
            return false;
    return !IsWindowsDeviceName(name);
}

bool IsOwnFileName(std::string_view name, std::string_view settingsFileName) {
    // The names as the data folder's code makes them; this layer lies below that code.
    const std::size_t cut = settingsFileName.find_last_of(kWindowsFileNameRules ? "/\\" : "/");
    const std::string_view settings =
        cut == std::string_view::npos ? settingsFileName : settingsFileName.substr(cut + 1);
    const std::string folded = kWindowsFileNameRules ? ToLower(name) : std::string(name);
    const std::string own = kWindowsFileNameRules ? ToLower(settings) : std::string(settings);
    const std::string_view n = folded;
    if (n == ".vexal-lock" || n == "history.txt" || n == "wallpaper-style" || n == "schedule.log" ||
        n == own || n.starts_with("last-run-") || n.starts_with(".vexal-tmp-"))
        return true;
    // The kept wallpapers: "vexal-back-SLOT.bmp" and, one per screen, "vexal-back-SLOT-SCREEN.bmp";
    // the same with "vexal-next-" for those kept to go forward to.
    constexpr std::string_view kPrefix = "vexal-back-", kNextPrefix = "vexal-next-", kSuffix = ".bmp";
    static_assert(kPrefix.size() == kNextPrefix.size());
    if (!(n.starts_with(kPrefix) || n.starts_with(kNextPrefix)) || !n.ends_with(kSuffix) ||
        n.size() <= kPrefix.size() + kSuffix.size())
        return false;
    const std::string_view middle = n.substr(kPrefix.size(), n.size() - kPrefix.size() - kSuffix.size());
    const std::size_t dash = middle.find('-');
    return AllDigits(middle.substr(0, dash)) &&
           (dash == std::string_view::npos || AllDigits(middle.substr(dash + 1)));
}

const char* EntryFieldKey(EntryField field) {
    static constexpr const char* kKeys[] = {"Name",     "Url",        "Comment",   "Filter", "Ext",
                                            "WpState",  "No",         "No_n",      "Refstr", "MinWidth",
                                            "Schedule", "EachScreen", "Background"};
    return kKeys[static_cast<int>(field)];
}

bool EntryFieldWritten(const SiteEntry& e, EntryField field) {
    // The extensions: a line only for an entry that uses them, so other files stay as before.
    switch (field) {
        case EntryField::MinWidth:
            return e.MinWidth != 0;
        case EntryField::Schedule:
            return e.Schedule != ScheduleKind::Never;
        case EntryField::EachScreen:
            return e.EachScreen;
        case EntryField::Background:
            return e.Background.has_value();
        default:
            return true;
    }
}

std::string EntryFieldLine(const SiteEntry& e, EntryField field) {
    std::string value;
    switch (field) {
        case EntryField::Name:
            value = e.Name;
            break;
        case EntryField::Url:
            value = e.Url;
            break;
        case EntryField::Comment:
            value = EscapeComment(e.Comment);
            break;
        case EntryField::Filter:
            // The page's-own-picture flag is an extension too: six flags unless it is set.
            value = FlagText(e.Filter).substr(0, e.Filter[6] ? 7 : 6);
            break;
        case EntryField::Ext:
            // The WebP flag is an extension: a file that does not use it is written as before.
            value = FlagText(e.Ext).substr(0, e.Ext[4] ? 5 : 4);
            break;
        case EntryField::WpState:
            value = std::to_string(static_cast<int>(e.WpState));
            break;
        case EntryField::No:
            value = std::to_string(static_cast<int>(e.No));
            break;
        case EntryField::No_n:
            value = std::to_string(e.No_n);
            break;
        case EntryField::Refstr:
            value = e.Refstr;
            break;
        case EntryField::MinWidth:
            value = std::to_string(e.MinWidth);
            break;
        case EntryField::Schedule:
            value = ScheduleText(e.Schedule);
            break;
        case EntryField::EachScreen:
            value = e.EachScreen ? "1" : "0";
            break;
        case EntryField::Background:
            value = e.Background ? ColourText(*e.Background) : "";
            break;
    }
    return std::string(EntryFieldKey(field)) + " = " + value;
}

bool SameEntryField(const SiteEntry& a, const SiteEntry& b, EntryField field) {
    SiteEntry copy = a;
    CopyEntryField(copy, b, field);
    return copy == a;
}

void CopyEntryField(SiteEntry& to, const SiteEntry& from, EntryField field) {
    switch (field) {
        case EntryField::Name:
            to.Name = from.Name;
            break;
        case EntryField::Url:
            to.Url = from.Url;
            break;
        case EntryField::Comment:
            to.Comment = from.Comment;
            break;
        case EntryField::Filter:
            to.Filter = from.Filter;
            break;
        case EntryField::Ext:
            to.Ext = from.Ext;
            break;
        case EntryField::WpState:
            to.WpState = from.WpState;
            break;
        case EntryField::No:
            to.No = from.No;
            break;
        case EntryField::No_n:
            to.No_n = from.No_n;
            break;
        case EntryField::Refstr:
            to.Refstr = from.Refstr;
            break;
        case EntryField::MinWidth:
            to.MinWidth = from.MinWidth;
            break;
        case EntryField::Schedule:
            to.Schedule = from.Schedule;
            break;
        case EntryField::EachScreen:
            to.EachScreen = from.EachScreen;
            break;
        case EntryField::Background:
            to.Background = from.Background;
            break;
    }
}

const char* GlobalFieldKey(GlobalField field) {
    static constexpr const char* kKeys[] = {"NewMsg", "CacheFileName", "WinFolderWPname", "TimeOut"};
    return kKeys[static_cast<int>(field)];
}

std::string GlobalFieldLine(const StoredSettings& s, GlobalField field) {
    std::string line = std::string(GlobalFieldKey(field)) + " = ";
    switch (field) {
        case GlobalField::NewMsg:
            return line + s.NewMsg;
        case GlobalField::CacheFileName:
            return line + s.CacheFileName;
        case GlobalField::WinFolderWPname:
            return line + s.WinFolderWPname;
        case GlobalField::TimeOut:
            return line + std::to_string(s.TimeOut);
    }
    return line;
}

bool SameGlobalField(const StoredSettings& a, const StoredSettings& b, GlobalField field) {
    return GlobalFieldLine(a, field) == GlobalFieldLine(b, field);
}

void CopyGlobalField(StoredSettings& to, const StoredSettings& from, GlobalField field) {
    switch (field) {
        case GlobalField::NewMsg:
            to.NewMsg = from.NewMsg;
            break;
        case GlobalField::CacheFileName:
            to.CacheFileName = from.CacheFileName;
            break;
        case GlobalField::WinFolderWPname:
            to.WinFolderWPname = from.WinFolderWPname;
            break;
        case GlobalField::TimeOut:
            to.TimeOut = from.TimeOut;
            break;
    }
}

std::string FormatEntry(const Program& program, std::int32_t index) {
    const SiteEntry& e = program.SiteEntries.at(static_cast<std::size_t>(index));
    std::string out;
    for (EntryField field : kEntryFields) {
        if (!EntryFieldWritten(e, field)) continue;
        if (!out.empty()) out += kCrLf;
        out += EntryFieldLine(e, field);
    }
    return out;
}

bool SettingsFileBytes(const Program& program, std::string& bytesOut) {
    std::string text;
    text += "'vexal   ver." + program.VersionText;
    text += kCrLf;
    text += kCrLf;
    text += "NewMsg = " + program.NewMsg;
    text += kCrLf;
    text += "CacheFileName = " + program.CacheFileName;
    text += kCrLf;
    text += "WinFolderWPname = " + program.WinFolderWPname;
    text += kCrLf;
    text += "TimeOut = " + std::to_string(program.TimeOut);
    text += kCrLf;
    text += "-";
    text += kCrLf;
    const std::int32_t n = program.EntryCount();
    for (std::int32_t k = 1; k <= n; ++k) {
        text += FormatEntry(program, k);
        text += kCrLf;
        if (k != n) {
            text += "-";
            text += kCrLf;
        }
    }
    return EncodeSettingsText(text, bytesOut);
}

bool EncodeSettingsText(std::string_view text, std::string& bytesOut) {
    if (Utf8ToCp932(text, bytesOut)) return true;
    // Code page 932 would turn the character into "?", and the entry would change on the
    // next read. Both programs read UTF-8 with a byte-order mark, which holds every
    // character; files that fit code page 932 stay in it, byte for byte as before.
    bytesOut = "\xEF\xBB\xBF";
    bytesOut.reserve(3 + text.size());
    // Well-formed throughout (anything malformed becomes U+FFFD), or a reader would take
    // the file for code page 932.
    for (std::size_t pos = 0; pos < text.size();) AppendUtf8(bytesOut, NextUtf8(text, pos));
    return false;
}

SaveResult SaveSettings(const Program& program, FileSystem& files) {
    std::string bytes;
    SettingsFileBytes(program, bytes);
    return files.ReplaceFile(program.SettingsFileName, bytes) ? SaveResult::Saved : SaveResult::WriteFailed;
}

std::string EscapeComment(std::string_view comment) {
    std::string out;
    out.reserve(comment.size());
    for (std::size_t i = 0; i < comment.size(); ++i) {
        const char c = comment[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\n";
            if (i + 1 < comment.size() && comment[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string UnescapeComment(std::string_view stored) {
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c != '\\' || i + 1 == stored.size()) {
            out.push_back(c);
            continue;
        }
        const char next = stored[++i];
        if (next == '\\') {
            out.push_back('\\');
        } else if (next == 'n') {
            out += "\r\n";
        } else {
            out.push_back('\\');
            out.push_back(next);
        }
    }
    return out;
}

}  // namespace vexal
