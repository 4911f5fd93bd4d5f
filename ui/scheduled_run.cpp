// The records of scheduled runs.
#include "ui/scheduled_run.h"

#include <ctime>

#include "settings/source_kind.h"
#include "text/case.h"
#include "ui/messages.h"

namespace vexal {
namespace {

// The log is read with the system's own tools: Notepad wants CR LF.
constexpr std::string_view kLogLineEnd = kFolderSeparator == '\\' ? "\r\n" : "\n";

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == kFolderSeparator ? folder + name : folder + kFolderSeparator + name;
}

std::string OneLine(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out.push_back(' ');
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool KeptInKey(char c, bool first) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '-' || (c == '.' && !first);
}

}  // namespace

std::string LastRunFileName(std::string_view entryName) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string lower = ToLower(entryName);
    std::string out = "last-run-";
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const char c = lower[i];
        if (KeptInKey(c, i == 0)) {
            out.push_back(c);
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out.push_back('%');
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 15]);
    }
    return out;
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    char text[32] = "";
    if (local) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

void RecordScheduledRun(FileSystem& files, const std::string& folder, std::string_view entryName,
                        const std::string& when, bool succeeded, std::string_view message) {
    const std::string line = OneLine(message);
    // A run whose identifier named no entry has no entry to keep a record for.
    if (!entryName.empty())
        static_cast<void>(files.ReplaceOwnFile(InFolder(folder, LastRunFileName(entryName)),
                                               when + "\n" + (succeeded ? "0" : "1") + "\n" + line + "\n"));
    if (succeeded) return;
    const std::string log = InFolder(folder, kScheduleLogName);
    std::string entry = when + " ";
    if (!entryName.empty()) entry += std::string(entryName) + ": ";
    entry += line;
    entry += kLogLineEnd;
    // AppendFile adds to a file that exists; the first failure makes it.
    if (!files.AppendFile(log, entry)) static_cast<void>(files.WriteFile(log, entry));
}

bool ReadLastRun(FileSystem& files, const std::string& folder, std::string_view entryName, LastRun& out) {
    std::string bytes;
    // Bounded, as history.txt is: the file may be a link to something that never ends.
    if (files.ReadFileAtMost(InFolder(folder, LastRunFileName(entryName)), kLocalTextBound, bytes) !=
        ReadFailure::Nothing)
        return false;
    const std::size_t first = bytes.find('\n');
    const std::size_t second = first == std::string::npos ? first : bytes.find('\n', first + 1);
    if (second == std::string::npos) return false;
    out.when = bytes.substr(0, first);
    out.succeeded = bytes.substr(first + 1, second - first - 1) == "0";
    out.message = OneLine(bytes.substr(second + 1));
    while (!out.message.empty() && out.message.back() == ' ') out.message.pop_back();
    return true;
}

std::string LastRunText(Language language, const LastRun& run) {
    return run.succeeded ? MessageText(language, Message::LastRunSucceeded, {run.when})
                         : MessageText(language, Message::LastRunFailed, {run.when, run.message});
}

}  // namespace vexal
