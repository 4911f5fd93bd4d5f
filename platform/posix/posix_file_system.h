// The FileSystem on POSIX systems: names are bytes, "." names are hidden, folders are
// told apart by device and inode.
#pragma once

#include "host/file_system.h"

namespace vexal {

// The failure an errno stands for.
FileFailure FileFailureOf(int error);

class PosixFileSystem final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string& bytesOut) override;
    ReadFailure ReadFileAtMost(const std::string& path, std::uint64_t bound, std::string& bytesOut) override;
    bool ReadFileHead(const std::string& path, std::size_t count, std::string& bytesOut) override;
    bool ReplaceFile(const std::string& path, std::string_view bytes) override;
    bool ReplaceOwnFile(const std::string& path, std::string_view bytes) override;
    bool WriteFile(const std::string& path, std::string_view bytes) override;
    bool AppendFile(const std::string& path, std::string_view bytes) override;
    bool IsNormalFile(const std::string& path) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    bool LinkFile(const std::string& from, const std::string& to) override;
    bool DeleteFile(const std::string& path) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    // RenameDurably is left a plain rename here: waiting for a photo-sized bitmap to reach
    // the disk costs a fifth of an installation on a quiet machine, and the name still
    // never shows half a file to a reader, a kill or a crash of the program. A power cut
    // can cost the new bitmap, which the next run makes again; the settings file, the
    // user's own data, is flushed before its rename.
    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override;
    bool FolderIdentity(const std::string& folder, std::string& idOut) override;
    bool FreeSpace(const std::string& path, std::uint64_t& bytesOut) override;
    // POSIX systems keep their text in UTF-8.
    std::string FullPath(const std::string& path) const override;
    bool TextMayBeUtf8() const override { return true; }
    FileFailure LastFailure() const override { return last_; }

private:
    bool ReplaceAt(const std::string& path, std::string_view bytes);
    bool WriteOpened(const std::string& path, int flags, std::string_view bytes);
    // Records why an operation failed; false, for the caller to return.
    bool Fail(int error) {
        last_ = FileFailureOf(error);
        return false;
    }
    FileFailure last_ = FileFailure::Nothing;
};

}  // namespace vexal
