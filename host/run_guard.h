// What keeps runs of the program from getting in each other's way: one lock that a run
// holds while it writes the working file and installs the wallpaper, the names of files
// being written (recognisable, with the writer's process id, so a later run can clear
// what a killed one left), and whether the program was asked from outside to stop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexal {

class RunGuard {
public:
    enum class LockState {
        Held,    // this process holds the lock (also when it already did)
        Busy,    // another process holds it
        Failed,  // no lock can be had here (the folder is not writable, say)
    };
    virtual ~RunGuard() = default;
    // Tries, without waiting, to take the lock kept in `folder`. The lock is held until
    // Unlock or until the process ends, whatever way it ends.
    virtual LockState TryLock(const std::string& folder) = 0;
    // Lets the lock go, if held: the run writes nothing more, and another may start while
    // this one still waits for someone to read its last message.
    virtual void Unlock() = 0;
    // True once a signal, the console closing or the session ending asked the program to stop.
    virtual bool StopRequested() const = 0;
    virtual std::uint32_t ProcessId() const = 0;
    // False only when no process of that id runs any more.
    virtual bool ProcessAlive(std::uint32_t pid) const = 0;
};

// Files being written start with this and the writer's process id.
inline constexpr std::string_view kTempPrefix = ".vexal-tmp-";

// The name under which `path` is written before it is renamed into place: in the same
// folder, so the rename never crosses file systems.
inline std::string TempPathFor(const std::string& path, std::uint32_t pid) {
    const std::size_t cut = path.find_last_of("/\\");
    const std::size_t base = cut == std::string::npos ? 0 : cut + 1;
    return path.substr(0, base) + std::string(kTempPrefix) + std::to_string(pid) + "-" + path.substr(base);
}

// The same for the run `guard` keeps apart from others; without a guard there are no other
// runs to tell apart, and the name carries 0.
inline std::string TempPathFor(const std::string& path, const RunGuard* guard) {
    return TempPathFor(path, guard ? guard->ProcessId() : 0);
}

// The writer's process id of a name made by TempPathFor; false for any other name.
inline bool TempNameWriter(std::string_view name, std::uint32_t& pidOut) {
    if (name.substr(0, kTempPrefix.size()) != kTempPrefix) return false;
    std::uint64_t pid = 0;
    std::size_t i = kTempPrefix.size(), digits = 0;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 10; ++i, ++digits)
        pid = pid * 10 + static_cast<std::uint64_t>(name[i] - '0');
    if (digits == 0 || i >= name.size() || name[i] != '-' || pid > 0xFFFFFFFFu) return false;
    pidOut = static_cast<std::uint32_t>(pid);
    return true;
}

}  // namespace vexal
