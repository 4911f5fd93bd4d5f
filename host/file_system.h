// Files and folders as the core needs them. Paths are UTF-8; each platform converts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexal {

// Why a file operation failed, as far as the user can do something about it. The words for
// each kind are in the ui layer's table of messages.
enum class FileFailure : std::uint8_t {
    Nothing,       // not "None", which X11's headers define as a macro
    DiskFull,      // no space left (or the quota is used up)
    NotPermitted,  // the user may not write there
    ReadOnly,      // the file system is mounted read-only, or the medium is write-protected
    Missing,       // the file or folder is not there (or a part of its path is no folder)
    Other,
};

// Why a bounded read gave no bytes.
enum class ReadFailure : std::uint8_t {
    Nothing,
    Missing,       // no such file (or a part of its path is no folder)
    NotPermitted,  // it is there, but this user may not read it
    Folder,        // the name is a folder's
    TooLarge,      // more bytes than the bound (or a device that never ends)
    Other,
};

struct DirEntry {
    std::string name;
    bool isDirectory = false;
    bool hidden = false;  // on POSIX: the name starts with "."
    bool system = false;
};

// The most bytes a local text (the settings file, a local page or list) is read whole: as
// much as a page fetched from a server may hold. A bigger file is no text a person wrote,
// and a link to an endless device (/dev/zero) must end the read instead of the memory.
inline constexpr std::uint64_t kLocalTextBound = std::uint64_t{64} << 20;

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Reads the whole file; false when it cannot be opened or read.
    virtual bool ReadFile(const std::string& path, std::string& bytesOut) = 0;
    // Reads the whole file unless it holds more than `bound` bytes, without ever holding
    // more than that: a file the user names may be huge, or a link to a device that never
    // ends. Platforms override it; the fallback reads whole and is only meant for doubles.
    virtual ReadFailure ReadFileAtMost(const std::string& path, std::uint64_t bound, std::string& bytesOut) {
        if (!ReadFile(path, bytesOut))
            return LastFailure() == FileFailure::NotPermitted ? ReadFailure::NotPermitted
                                                              : ReadFailure::Missing;
        return bytesOut.size() > bound ? ReadFailure::TooLarge : ReadFailure::Nothing;
    }
    // Reads at most the first `count` bytes (fewer when the file is shorter), so that a
    // file's kind can be told from its first bytes without holding a picture of a gibibyte.
    // The fallback reads whole and is only meant for doubles.
    virtual bool ReadFileHead(const std::string& path, std::size_t count, std::string& bytesOut) {
        if (!ReadFile(path, bytesOut)) return false;
        if (bytesOut.size() > count) bytesOut.resize(count);
        return true;
    }
    // Replaces the file with `bytes` so that it is always either the old or the new
    // content: written to a temporary file in the same folder, flushed, then renamed.
    virtual bool ReplaceFile(const std::string& path, std::string_view bytes) = 0;
    // As ReplaceFile, for a file of the program's own data folder: a symbolic link or other
    // reparse point at `path` is itself replaced by the new file, never followed, so that
    // nothing outside the folder is written. The fallback is ReplaceFile, for doubles.
    virtual bool ReplaceOwnFile(const std::string& path, std::string_view bytes) {
        return ReplaceFile(path, bytes);
    }
    // Creates or truncates the file, then writes `bytes`. A link at `path` is refused, as
    // AppendFile refuses one: these are for the program's own files.
    virtual bool WriteFile(const std::string& path, std::string_view bytes) = 0;
    // Adds `bytes` to the end of an existing file, so that a large file (a bitmap) can be
    // written in pieces instead of being held in memory whole. Platforms override it; the
    // fallback rewrites the whole file and is only meant for doubles.
    virtual bool AppendFile(const std::string& path, std::string_view bytes) {
        std::string existing;
        if (!ReadFile(path, existing)) return false;
        existing.append(bytes);
        return WriteFile(path, existing);
    }
    // True when `path` names an existing normal file (not a folder, not hidden or system).
    virtual bool IsNormalFile(const std::string& path) = 0;
    // Copies, replacing an existing destination.
    virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // Gives the file `from` a second name `to` in the same folder, replacing `to`, so it can
    // be kept while `from` stays in place until something else is renamed over it; where
    // the file system has no links it is copied. The fallback copies.
    virtual bool LinkFile(const std::string& from, const std::string& to) { return CopyFile(from, to); }
    // Renames `from` to `to` in the same folder, replacing `to` in one step, so a reader
    // of `to` always finds the old file or the new one, never a mix. Platforms override
    // it; the fallback copies and is only meant for doubles.
    virtual bool RenameFile(const std::string& from, const std::string& to) {
        std::string bytes;
        if (!ReadFile(from, bytes) || !WriteFile(to, bytes)) return false;
        DeleteFile(from);
        return true;
    }
    // As RenameFile, but `from`'s data are on the disk before the rename, so that a power
    // cut just after it cannot leave `to` naming an empty or partial file; false when they
    // cannot be written out. The fallback only renames.
    virtual bool RenameDurably(const std::string& from, const std::string& to) {
        return RenameFile(from, to);
    }
    // Lists the entries of a folder ("." and ".." left out), in the order the platform
    // gives them; false when the folder cannot be read.
    virtual bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) = 0;
    // A value that is equal for two paths naming the same folder or file (device and inode
    // on POSIX), so walks can refuse to enter a folder twice; false when unknown.
    virtual bool FolderIdentity(const std::string& folder, std::string& idOut) = 0;
    // The path as an absolute one, for a message that has to say which file was meant
    // when the program was started in a folder the user did not expect. The fallback
    // gives the path as it is.
    virtual std::string FullPath(const std::string& path) const { return path; }
    // True where a local list, page or settings file may be UTF-8 as well as code page
    // 932: systems that keep their text in UTF-8 make such files. Otherwise they are read
    // as code page 932 only, as the files' own format has it.
    virtual bool TextMayBeUtf8() const { return false; }
    // The bytes this user may still write on the file system that holds `path` (a file
    // there need not exist: its folder is asked), so a download can stop before the disk
    // is full; false, with LastFailure saying why, when the system cannot tell. The
    // fallback cannot tell.
    virtual bool FreeSpace(const std::string& /*path*/, std::uint64_t& /*bytesOut*/) { return false; }
    // Why the last operation that returned false failed, from the system's own error;
    // Other where the platform cannot tell.
    virtual FileFailure LastFailure() const { return FileFailure::Other; }
};

}  // namespace vexal
