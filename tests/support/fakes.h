// Test doubles for the core's host interfaces: they record what the core asked for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gather/retrieval_services.h"
#include "host/console.h"
#include "host/dialogs.h"
#include "host/file_system.h"
#include "host/host.h"
#include "host/process.h"
#include "host/run_guard.h"
#include "settings/source_kind.h"

namespace vexal::testing {

class RecordingDialogs final : public Dialogs {
public:
    struct Box {
        // "error", "notice", "retry", "yesno", "yesno-default-no", "yesnocancel", "input", "colour"
        std::string kind;
        std::string title;
        std::string text;
    };
    std::vector<Box> boxes;
    std::deque<bool> retryAnswers;      // popped per AskRetry; empty means Cancel
    std::deque<bool> yesNoAnswers;      // popped per AskYesNo; empty means No
    std::deque<std::string> inputs;     // popped per AskText; empty means Cancel
    std::deque<Answer> answers;         // popped per AskYesNoCancel; empty means Cancel
    std::deque<std::uint32_t> colours;  // popped per AskColour; empty means Cancel
    bool unattended = false;
    std::function<void()> onError;  // runs as an error box comes up, while it would be up

    void Error(const std::string& t, const std::string& s) override {
        boxes.push_back({"error", t, s});
        if (onError) onError();
    }
    void Notice(const std::string& t, const std::string& s) override { boxes.push_back({"notice", t, s}); }
    bool AskRetry(const std::string& t, const std::string& s) override {
        boxes.push_back({"retry", t, s});
        return Pop(retryAnswers, false);
    }
    bool AskYesNo(const std::string& t, const std::string& s) override {
        boxes.push_back({"yesno", t, s});
        return Pop(yesNoAnswers, false);
    }
    bool AskYesNoDefaultNo(const std::string& t, const std::string& s) override {
        boxes.push_back({"yesno-default-no", t, s});
        return Pop(yesNoAnswers, false);
    }
    Answer AskYesNoCancel(const std::string& t, const std::string& s) override {
        boxes.push_back({"yesnocancel", t, s});
        return Pop(answers, Answer::Cancel);
    }
    std::string AskText(const std::string& t, const std::string& s) override {
        boxes.push_back({"input", t, s});
        return Pop(inputs, std::string());
    }
    // Recorded with the colour it starts at, in decimal, as its text.
    std::optional<std::uint32_t> AskColour(const std::string& t, std::uint32_t initial) override {
        boxes.push_back({"colour", t, std::to_string(initial)});
        if (colours.empty()) return std::nullopt;
        return Pop(colours, 0u);
    }
    bool Unattended() const override { return unattended; }
    // The texts of all boxes, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& b : boxes) out.push_back(b.text);
        return out;
    }

private:
    template <typename T>
    static T Pop(std::deque<T>& q, T fallback) {
        if (q.empty()) return fallback;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

class RecordingProcess final : public Process {
public:
    bool ended = false;
    int status = -1;
    void End(int s) override {
        if (!ended) status = s;
        ended = true;
    }
};

// Files in memory; folders are the paths that end in "/" among the keys' prefixes.
class MemoryFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;
    bool failWrites = false;
    bool failRenames = false;
    bool failFlushes = false;
    // Why a failed write or rename failed, as the system would say.
    FileFailure failWith = FileFailure::Other;
    // The names RenameDurably gave, in order: the files that were on the disk before
    // they took their names.
    std::vector<std::string> durablyRenamed;
    bool textMayBeUtf8 = false;
    // The disk's free space before the files: each file's bytes take from it. A failed
    // query when `freeSpaceUnknown`.
    std::uint64_t freeSpace = std::uint64_t{1} << 40;
    bool freeSpaceUnknown = false;
    int freeSpaceQueries = 0;

    FileFailure LastFailure() const override { return failWith; }
    bool FreeSpace(const std::string&, std::uint64_t& bytesOut) override {
        ++freeSpaceQueries;
        std::uint64_t held = 0;
        for (const auto& [path, bytes] : files) held += bytes.size();
        bytesOut = freeSpace - std::min(freeSpace, held);
        return !freeSpaceUnknown;
    }
    bool ReadFile(const std::string& path, std::string& bytesOut) override {
        auto it = files.find(path);
        if (it == files.end()) return false;
        bytesOut = it->second;
        return true;
    }
    bool ReplaceFile(const std::string& path, std::string_view bytes) override {
        return WriteFile(path, bytes);
    }
    bool WriteFile(const std::string& path, std::string_view bytes) override {
        if (failWrites) return false;
        files[path] = std::string(bytes);
        return true;
    }
    bool AppendFile(const std::string& path, std::string_view bytes) override {
        auto it = files.find(path);
        if (it == files.end() || failWrites) return false;
        it->second.append(bytes);
        return true;
    }
    bool IsNormalFile(const std::string& path) override { return files.count(path) != 0; }
    bool CopyFile(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end() || failWrites) return false;
        files[to] = it->second;
        return true;
    }
    bool DeleteFile(const std::string& path) override { return files.erase(path) != 0; }
    bool RenameFile(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end() || failRenames) return false;
        files[to] = std::move(it->second);
        files.erase(from);
        return true;
    }
    bool RenameDurably(const std::string& from, const std::string& to) override {
        if (failFlushes || !files.count(from) || !RenameFile(from, to)) return false;
        durablyRenamed.push_back(to);
        return true;
    }
    // The files directly inside `folder` ("" is the current one).
    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override {
        out.clear();
        const std::string prefix = folder.empty() ? "" : folder + kFolderSeparator;
        for (const auto& [path, bytes] : files)
            if (path.rfind(prefix, 0) == 0 && path.find(kFolderSeparator, prefix.size()) == std::string::npos)
                out.push_back({path.substr(prefix.size())});
        return true;
    }
    // A file is known by its path.
    bool FolderIdentity(const std::string& path, std::string& idOut) override {
        if (!files.count(path)) return false;
        idOut = path;
        return true;
    }
    bool TextMayBeUtf8() const override { return textMayBeUtf8; }
};

// A lock held by someone else for the first `busyTries` tries; processes alive by list.
class FakeRunGuard final : public RunGuard {
public:
    int busyTries = 0;
    int tries = 0;
    bool stop = false;
    bool stopWhileBusy = false;  // a stop arrives once the lock was found busy
    std::uint32_t pid = 100;
    std::vector<std::uint32_t> alive;
    std::vector<std::string> lockedFolders;
    bool locked = false;

    LockState TryLock(const std::string& folder) override {
        lockedFolders.push_back(folder);
        const bool busy = ++tries <= busyTries;
        locked = locked || !busy;
        if (busy && stopWhileBusy) stop = true;
        return busy ? LockState::Busy : LockState::Held;
    }
    std::function<void()> onUnlock;  // called as the lock goes
    void Unlock() override {
        if (onUnlock) onUnlock();
        locked = false;
    }
    bool StopRequested() const override { return stop; }
    std::uint32_t ProcessId() const override { return pid; }
    bool ProcessAlive(std::uint32_t p) const override {
        return p == pid || std::find(alive.begin(), alive.end(), p) != alive.end();
    }
};

class RecordingConsole final : public Console {
public:
    std::string printed;
    void Print(const std::string& utf8) override { printed += utf8; }
};

// A host wired to the doubles above.
struct TestHost {
    RecordingDialogs dialogs;
    RecordingProcess process;
    MemoryFileSystem files;
    RecordingConsole console;
    Host host;
    TestHost() {
        host.dialogs = &dialogs;
        host.process = &process;
        host.files = &files;
        host.console = &console;
    }
    // What the layers below the front ends are handed: the host's services as they are now.
    RetrievalServices Services() const {
        return {host.files,  host.images, host.desktop,      host.guard, host.pump,
                host.random, host.socket, host.secureSocket, host.timer, host.watch};
    }
};

}  // namespace vexal::testing
