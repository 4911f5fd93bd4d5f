// Windows file operations. A replacement is written beside the old file, flushed to disk
// and moved over it with write-through, so the settings file is always whole.
#include "platform/win32/win32_file_system.h"

#include <algorithm>

#include "host/run_guard.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal {
namespace {

// A handle that closes itself.
class File {
public:
    explicit File(HANDLE h) : h_(h) {}
    ~File() {
        if (ok()) ::CloseHandle(h_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool Close() {
        const bool closed = ::CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE h_;
};

bool WriteAll(HANDLE h, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!::WriteFile(h, p, chunk, &written, nullptr) || written == 0) return false;
        p += written;
        left -= written;
    }
    return true;
}

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens one of the program's own files for writing. A symbolic link or junction in its
// place is refused, not followed: the program never writes a file outside its folders
// through a name of its own. The handle is opened on the name itself and checked again,
// so a link put there between the two steps is caught too.
HANDLE OpenOwnFile(const std::wstring& path, DWORD access, DWORD disposition) {
    if (IsReparsePoint(path)) {
        ::SetLastError(ERROR_CANT_ACCESS_FILE);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = ::CreateFileW(path.c_str(), access, 0, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return h;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::CloseHandle(h);
        ::SetLastError(ERROR_CANT_ACCESS_FILE);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

HANDLE CreateForWriting(const std::wstring& path) { return OpenOwnFile(path, GENERIC_WRITE, CREATE_ALWAYS); }

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

FileFailure FileFailureOfWin32(unsigned long error) {
    switch (error) {
        case ERROR_SUCCESS:
            return FileFailure::Nothing;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileFailure::DiskFull;
        case ERROR_ACCESS_DENIED:
            return FileFailure::NotPermitted;
        case ERROR_WRITE_PROTECT:
            return FileFailure::ReadOnly;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_NAME:
            return FileFailure::Missing;
        default:
            return FileFailure::Other;
    }
}

bool Win32FileSystem::ReadFile(const std::string& path, std::string& bytesOut) {
    bytesOut.clear();
    File f(::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok()) return false;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(f.get(), &size) && size.QuadPart > 0)
        bytesOut.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(f.get(), buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        bytesOut.append(buffer, got);
    }
}

bool Win32FileSystem::ReadFileHead(const std::string& path, std::size_t count, std::string& bytesOut) {
    bytesOut.clear();
    File f(::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok()) return Fail(::GetLastError());
    bytesOut.assign(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - got, 1u << 20));
        DWORD n = 0;
        if (!::ReadFile(f.get(), bytesOut.data() + got, want, &n, nullptr)) {
            bytesOut.clear();
            return Fail(::GetLastError());
        }
        if (n == 0) break;
        got += n;
    }
    bytesOut.resize(got);
    return true;
}

ReadFailure Win32FileSystem::ReadFileAtMost(const std::string& path, std::uint64_t bound,
                                            std::string& bytesOut) {
    bytesOut.clear();
    const std::wstring wide = win32::Widen(path);
    File f(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok()) {
        const DWORD error = ::GetLastError();
        Fail(error);
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_INVALID_NAME:
                return ReadFailure::Missing;
            case ERROR_ACCESS_DENIED: {
                // Opening a folder as a file is refused as access denied.
                const DWORD attributes = ::GetFileAttributesW(wide.c_str());
                return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                           ? ReadFailure::Folder
                           : ReadFailure::NotPermitted;
            }
            default:
                return ReadFailure::Other;
        }
    }
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(f.get(), &size) && size.QuadPart > 0) {
        if (static_cast<std::uint64_t>(size.QuadPart) > bound) return ReadFailure::TooLarge;
        bytesOut.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    // The size of a device, or of a file that grows meanwhile, is no bound: the bytes are counted.
    char buffer[65536];
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(f.get(), buffer, sizeof buffer, &got, nullptr)) {
            Fail(::GetLastError());
            bytesOut.clear();
            return ReadFailure::Other;
        }
        if (got == 0) return ReadFailure::Nothing;
        if (bytesOut.size() + got > bound) {
            bytesOut.clear();
            return ReadFailure::TooLarge;
        }
        bytesOut.append(buffer, got);
    }
}

bool Win32FileSystem::ReplaceFile(const std::string& path, std::string_view bytes) {
    const std::wstring target = win32::Widen(path);
    // The temporary name carries the process id so two instances never share one, and the
    // prefix by which a later run recognises, and removes, what a killed save left.
    const std::wstring temp = win32::Widen(TempPathFor(path, ::GetCurrentProcessId()));
    File f(CreateForWriting(temp));
    if (!f.ok()) return Fail(::GetLastError());
    bool ok = WriteAll(f.get(), bytes) && ::FlushFileBuffers(f.get());
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (!f.Close() && ok) {
        ok = false;
        error = ::GetLastError();
    }
    // The move replaces the name itself: a link there is replaced, not written through.
    if (ok &&
        !::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        ::DeleteFileW(temp.c_str());
        return Fail(error);
    }
    return true;
}

bool Win32FileSystem::WriteFile(const std::string& path, std::string_view bytes) {
    File f(CreateForWriting(win32::Widen(path)));
    if (!f.ok()) return Fail(::GetLastError());
    if (!WriteAll(f.get(), bytes)) return Fail(::GetLastError());
    return f.Close() || Fail(::GetLastError());
}

bool Win32FileSystem::AppendFile(const std::string& path, std::string_view bytes) {
    // FILE_APPEND_DATA alone makes every write land at the end; the file must exist.
    File f(OpenOwnFile(win32::Widen(path), FILE_APPEND_DATA, OPEN_EXISTING));
    if (!f.ok()) return Fail(::GetLastError());
    if (!WriteAll(f.get(), bytes)) return Fail(::GetLastError());
    return f.Close() || Fail(::GetLastError());
}

std::string Win32FileSystem::FullPath(const std::string& path) const {
    const std::wstring wide = win32::Widen(path);
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) {
            full.resize(length);
            return win32::Narrow(full);
        }
        full.resize(length);
    }
    return path;
}

bool Win32FileSystem::IsNormalFile(const std::string& path) {
    if (path.empty()) return false;
    // The attributes of exactly this name: unlike a directory listing, no wildcard in the
    // path can make another file stand in for it.
    const DWORD attributes = ::GetFileAttributesW(win32::Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool Win32FileSystem::CopyFile(const std::string& from, const std::string& to) {
    const std::wstring target = win32::Widen(to);
    if (!::CopyFileW(win32::Widen(from).c_str(), target.c_str(), FALSE)) return Fail(::GetLastError());
    // CopyFileW carries the source's attributes over; a read-only working copy could then
    // neither be replaced by the next copy nor deleted at the end of the run.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(target.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return true;
}

// A second name costs no copy; FAT and network shares without links get a copy.
bool Win32FileSystem::LinkFile(const std::string& from, const std::string& to) {
    const std::wstring target = win32::Widen(to);
    ::DeleteFileW(target.c_str());
    if (::CreateHardLinkW(target.c_str(), win32::Widen(from).c_str(), nullptr)) return true;
    return CopyFile(from, to);
}

bool Win32FileSystem::DeleteFile(const std::string& path) {
    return ::DeleteFileW(win32::Widen(path).c_str()) != 0;
}

// Write-through: the call returns only once the move is on disk, so a crash leaves the old
// file or the new one.
bool Win32FileSystem::RenameFile(const std::string& from, const std::string& to) {
    return ::MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           Fail(::GetLastError());
}

// MOVEFILE_WRITE_THROUGH makes the move itself durable but not the data of a file that is
// renamed rather than copied; those are flushed first.
bool Win32FileSystem::RenameDurably(const std::string& from, const std::string& to) {
    File f(::CreateFileW(win32::Widen(from).c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.ok()) return Fail(::GetLastError());
    const bool flushed = ::FlushFileBuffers(f.get()) != 0;
    if (!flushed) return Fail(::GetLastError());
    if (!f.Close()) return Fail(::GetLastError());
    return RenameFile(from, to);
}

bool Win32FileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& out) {
    out.clear();
    std::wstring pattern = win32::Widen(folder);
    if (!pattern.empty() && !IsSeparator(pattern.back())) pattern.push_back(L'\\');
    pattern += L"*";
    WIN32_FIND_DATAW data{};
    HANDLE find =
        ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || Fail(error);
    }
    do {
        const std::wstring_view name(data.cFileName);
        if (name == L"." || name == L"..") continue;
        DirEntry e;
        e.name = win32::Narrow(name);
        e.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        e.hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        e.system = (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0;
        out.push_back(std::move(e));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return true;
}

bool Win32FileSystem::FolderIdentity(const std::string& folder, std::string& idOut) {
    const std::wstring path = folder.empty() ? std::wstring(L".") : win32::Widen(folder);
    // Backup semantics are what lets CreateFileW open a folder at all.
    File f(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!f.ok()) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(f.get(), &info)) return false;
    idOut = std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
            std::to_string(info.nFileIndexLow);
    return true;
}

// The space left to this user (a disk quota included) on the volume of the file's folder.
// The folder is taken from the full path, so a relative or drive-relative name ("C:x")
// finds the right volume, and keeps its trailing backslash, which a share's root needs.
bool Win32FileSystem::FreeSpace(const std::string& path, std::uint64_t& bytesOut) {
    const std::wstring wide = win32::Widen(path);
    std::wstring folder(MAX_PATH, L'\0');
    wchar_t* name = nullptr;
    DWORD length = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(folder.size()), folder.data(), &name);
        if (length == 0) return Fail(::GetLastError());
        if (length < folder.size()) break;
        folder.resize(length);
    }
    if (length >= folder.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
    folder.resize(name ? static_cast<std::size_t>(name - folder.data()) : length);
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return Fail(::GetLastError());
    bytesOut = available.QuadPart;
    return true;
}

}  // namespace vexal
