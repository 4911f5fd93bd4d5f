// The FileSystem on POSIX systems: names are bytes, "." names are hidden, folders are
// told apart by device and inode.
#pragma once

#include "host/file_system.h"

namespace vexal {

class PosixFileSystem final : public FileSystem {
public:
    bool ReadFile(const std::string& path, std::string& bytesOut) override;
    bool ReplaceFile(const std::string& path, std::string_view bytes) override;
    bool WriteFile(const std::string& path, std::string_view bytes) override;
    bool AppendFile(const std::string& path, std::string_view bytes) override;
    bool IsNormalFile(const std::string& path) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    bool DeleteFile(const std::string& path) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override;
    bool FolderIdentity(const std::string& folder, std::string& idOut) override;
    // POSIX systems keep their text in UTF-8.
    bool TextMayBeUtf8() const override { return true; }
};

}  // namespace vexal
