// Reading and writing the settings file.
#include "settings/settings_file.h"

#include <algorithm>

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
    if (line.empty()) return;
    if (line[0] == '-') {
        program.SiteEntries.emplace_back();
        return;
    }
    if (!IsAsciiLetter(line[0])) return;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return;
    const std::string key = ToLower(TrimSpaces(line.substr(0, eq)));
    // The one character after "=" (the blank of the written form) is dropped, whatever it is.
    std::size_t valueStart = eq + 1;
    if (valueStart < line.size()) NextUtf8(line, valueStart);
    const std::string_view value = line.substr(valueStart);

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
}

}  // namespace

const char* ScheduleText(ScheduleKind kind) {
    switch (kind) {
        case ScheduleKind::Hourly:
            return "hourly";
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
    for (ScheduleKind kind : {ScheduleKind::Hourly, ScheduleKind::Daily, ScheduleKind::Logon})
        if (word == ScheduleText(kind)) return kind;
    return ScheduleKind::Never;
}

void ParseSettings(Program& program, std::string_view bytes, bool acceptUtf8) {
    program.SiteEntries.assign(1, SiteEntry{});
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
            ApplyLine(program, all.substr(start));
            break;
        }
        ApplyLine(program, all.substr(start, end - start));
        start = end + 1;
        if (lineEnd == '\r' && start < all.size() && all[start] == '\n') ++start;
    }
}

bool LoadSettings(Program& program, FileSystem& files) {
    // Settings that work, before the file is read: a first run finds them, so the file the
    // editor saves later works too (nothing is written until then), and a hand-written
    // file that leaves a key out keeps its default instead of an empty file name.
    program.SiteEntries.assign(1, SiteEntry{});
    program.NewMsg = "(新規)";
    program.CacheFileName = "wpcache";
    program.WinFolderWPname = "wallpaper.bmp";
    program.TimeOut = 30;
    std::string bytes;
    if (!files.ReadFile(program.SettingsFileName, bytes)) return false;
    ParseSettings(program, bytes, files.TextMayBeUtf8());
    return true;
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
    // The kept wallpapers: "vexal-back-SLOT.bmp" and, one per screen, "vexal-back-SLOT-SCREEN.bmp".
    constexpr std::string_view kPrefix = "vexal-back-", kSuffix = ".bmp";
    if (!n.starts_with(kPrefix) || !n.ends_with(kSuffix) || n.size() <= kPrefix.size() + kSuffix.size())
        return false;
    const std::string_view middle = n.substr(kPrefix.size(), n.size() - kPrefix.size() - kSuffix.size());
    const std::size_t dash = middle.find('-');
    return AllDigits(middle.substr(0, dash)) &&
           (dash == std::string_view::npos || AllDigits(middle.substr(dash + 1)));
}

std::string FormatEntry(const Program& program, std::int32_t index) {
    const SiteEntry& e = program.SiteEntries.at(static_cast<std::size_t>(index));
    std::string out;
    out += "Name = " + e.Name;
    out += kCrLf;
    out += "Url = " + e.Url;
    out += kCrLf;
    out += "Comment = " + EscapeComment(e.Comment);
    out += kCrLf;
    // The page's-own-picture flag is an extension too: six flags unless it is set.
    out += "Filter = " + FlagText(e.Filter).substr(0, e.Filter[6] ? 7 : 6);
    out += kCrLf;
    // The WebP flag is an extension: a file that does not use it is written as before.
    out += "Ext = " + FlagText(e.Ext).substr(0, e.Ext[4] ? 5 : 4);
    out += kCrLf;
    out += "WpState = " + std::to_string(static_cast<int>(e.WpState));
    out += kCrLf;
    out += "No = " + std::to_string(static_cast<int>(e.No));
    out += kCrLf;
    out += "No_n = " + std::to_string(e.No_n);
    out += kCrLf;
    out += "Refstr = " + e.Refstr;
    // An extension: a line only for an entry that uses it, so other files stay as before.
    if (e.MinWidth != 0) {
        out += kCrLf;
        out += "MinWidth = " + std::to_string(e.MinWidth);
    }
    if (e.Schedule != ScheduleKind::Never) {
        out += kCrLf;
        out += "Schedule = ";
        out += ScheduleText(e.Schedule);
    }
    if (e.EachScreen) {
        out += kCrLf;
        out += "EachScreen = 1";
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
