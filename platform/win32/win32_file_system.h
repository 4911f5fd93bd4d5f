// The FileSystem on Windows: UTF-8 paths become UTF-16, hidden and system entries are
// marked as Windows marks them, and the listing keeps the order FindFirstFileW gives.
#pragma once

#include "host/file_system.h"

namespace vexal {

// The failure a system error code (GetLastError) stands for.
FileFailure FileFailureOfWin32(unsigned long error);

class Win32FileSystem final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string& bytesOut) override;
    ReadFailure ReadFileAtMost(const std::string& path, std::uint64_t bound, std::string& bytesOut) override;
    bool ReadFileHead(const std::string& path, std::size_t count, std::string& bytesOut) override;
    bool ReplaceFile(const std::string& path, std::string_view bytes) override;
    bool WriteFile(const std::string& path, std::string_view bytes) override;
    bool AppendFile(const std::string& path, std::string_view bytes) override;
    bool IsNormalFile(const std::string& path) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    bool LinkFile(const std::string& from, const std::string& to) override;
    bool DeleteFile(const std::string& path) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    bool RenameDurably(const std::string& from, const std::string& to) override;
    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override;
    bool FolderIdentity(const std::string& folder, std::string& idOut) override;
    bool FreeSpace(const std::string& path, std::uint64_t& bytesOut) override;
    // Notepad saves UTF-8 by default, so a hand-made list or settings file may be either.
    std::string FullPath(const std::string& path) const override;
    bool TextMayBeUtf8() const override { return true; }
    FileFailure LastFailure() const override { return last_; }

private:
    // Records why an operation failed; false, for the caller to return.
    bool Fail(unsigned long error) {
        last_ = FileFailureOfWin32(error);
        return false;
    }
    FileFailure last_ = FileFailure::Nothing;
};

}  // namespace vexal
