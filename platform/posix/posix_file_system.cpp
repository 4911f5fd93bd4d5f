// POSIX file operations with the durability the settings file needs: a replacement is
// written beside the old file, synced, and renamed over it.
#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/run_guard.h"

namespace vexal {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ASCII only, whatever the locale: bytes of UTF-8 names compare as they are.
unsigned char UpperAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - ('a' - 'A')) : u;
}

int CompareUpperCased(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = UpperAscii(a[i]);
        const unsigned char y = UpperAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string DirName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a chain of symbolic links ends at (the path itself when it is no link). A
// replacement is written there, so that a settings file kept elsewhere and linked in
// (as dotfile managers do) is updated and the link stays a link.
std::string FinalTarget(const std::string& path) {
    std::string current = path;
    // Bounded like the kernel's own resolution; a loop leaves the last name, and the
    // rename then replaces that link rather than hanging.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) break;
        target.resize(static_cast<std::size_t>(n));
        current = target[0] == '/' ? target : DirName(current) + "/" + target;
    }
    return current;
}

}  // namespace

FileFailure FileFailureOf(int error) {
    switch (error) {
        case 0:
            return FileFailure::Nothing;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileFailure::DiskFull;
        case EACCES:
        case EPERM:
            return FileFailure::NotPermitted;
        case EROFS:
            return FileFailure::ReadOnly;
        case ENOENT:
        case ENOTDIR:
            return FileFailure::Missing;
        default:
            return FileFailure::Other;
    }
}

bool PosixFileSystem::ReadFile(const std::string& path, std::string& bytesOut) {
    bytesOut.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (st.st_size > 0) bytesOut.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        bytesOut.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool PosixFileSystem::ReadFileHead(const std::string& path, std::size_t count, std::string& bytesOut) {
    bytesOut.assign(count, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        bytesOut.clear();
        return false;
    }
    std::size_t got = 0;
    bool ok = true;
    while (got < count) {
        const ssize_t n = ::read(fd, bytesOut.data() + got, count - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = Fail(errno);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytesOut.resize(ok ? got : 0);
    return ok;
}

ReadFailure PosixFileSystem::ReadFileAtMost(const std::string& path, std::uint64_t bound,
                                            std::string& bytesOut) {
    bytesOut.clear();
    // The same reading of errno as every other file operation's, but for a folder.
    auto failure = [](int error) {
        if (error == EISDIR) return ReadFailure::Folder;
        switch (FileFailureOf(error)) {
            case FileFailure::NotPermitted:
                return ReadFailure::NotPermitted;
            case FileFailure::Missing:
                return ReadFailure::Missing;
            default:
                return ReadFailure::Other;
        }
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return failure(errno);
    }
    struct stat st {};
    ReadFailure result = ReadFailure::Nothing;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        result = ReadFailure::Folder;
    } else if (st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) > bound) {
        result = ReadFailure::TooLarge;
    } else {
        if (st.st_size > 0) bytesOut.reserve(static_cast<std::size_t>(st.st_size));
        // A device or a file that grows while it is read has no size to trust: the bound
        // is counted as the bytes come.
        char buffer[65536];
        while (result == ReadFailure::Nothing) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                Fail(errno);
                result = failure(errno);
            } else if (n == 0) {
                break;
            } else if (bytesOut.size() + static_cast<std::size_t>(n) > bound) {
                result = ReadFailure::TooLarge;
            } else {
                bytesOut.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    ::close(fd);
    if (result != ReadFailure::Nothing) bytesOut.clear();
    return result;
}

bool PosixFileSystem::ReplaceFile(const std::string& linkOrPath, std::string_view bytes) {
    return ReplaceAt(FinalTarget(linkOrPath), bytes);
}

bool PosixFileSystem::ReplaceOwnFile(const std::string& path, std::string_view bytes) {
    return ReplaceAt(path, bytes);
}

// Writes `bytes` beside `path` and renames them over it: a link at `path` is itself
// replaced, never written through.
bool PosixFileSystem::ReplaceAt(const std::string& path, std::string_view bytes) {
    // The temporary name carries the pid so two instances never share one, and the prefix
    // by which a later run recognises, and removes, what a killed save left. What a killed
    // save of the same pid left goes first, so that the name is created here and never
    // opened through a link someone put there.
    const std::string temp = TempPathFor(path, static_cast<std::uint32_t>(::getpid()));
    ::unlink(temp.c_str());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(errno);
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return Fail(error);
    }
    // Make the rename itself durable.
    int dirFd = ::open(DirName(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// Opens `path` with `flags`, writes all of `bytes` and closes it, keeping the cause of the
// first step that failed. The program writes only files of its own this way (working
// files, bitmaps, its log): a link in their place is refused, not written through.
bool PosixFileSystem::WriteOpened(const std::string& path, int flags, std::string_view bytes) {
    int fd = ::open(path.c_str(), flags | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(errno);
    if (!WriteAll(fd, bytes)) {
        const int error = errno;
        ::close(fd);
        return Fail(error);
    }
    return ::close(fd) == 0 || Fail(errno);
}

bool PosixFileSystem::WriteFile(const std::string& path, std::string_view bytes) {
    return WriteOpened(path, O_CREAT | O_TRUNC, bytes);
}

bool PosixFileSystem::AppendFile(const std::string& path, std::string_view bytes) {
    return WriteOpened(path, O_APPEND, bytes);
}

std::string PosixFileSystem::FullPath(const std::string& path) const {
    if (!path.empty() && path[0] == '/') return path;
    std::string folder(256, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return path;
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder + path;
}

// A second name costs no copy; file systems without links (FAT, some network shares) get
// a copy instead.
bool PosixFileSystem::LinkFile(const std::string& from, const std::string& to) {
    if (::unlink(to.c_str()) != 0 && errno != ENOENT) return Fail(errno);
    if (::link(from.c_str(), to.c_str()) == 0) return true;
    if (errno == ENOENT) return Fail(errno);
    return CopyFile(from, to);
}

bool PosixFileSystem::IsNormalFile(const std::string& path) {
    if (path.empty() || BaseName(path).empty() || BaseName(path)[0] == '.') return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The copy runs in the kernel, in pieces, so a picture of many megabytes is neither held
// in memory nor passed through it twice.
bool PosixFileSystem::CopyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(0);  // the source's failure is no cause of the destination's
    struct stat source {};
    if (::fstat(in, &source) != 0 || S_ISDIR(source.st_mode)) {
        ::close(in);
        return Fail(0);
    }
    // The destination is a working name of the program's: a link there is refused.
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    struct stat target {};
    if (out < 0 || ::fstat(out, &target) != 0) {
        const int error = errno;
        if (out >= 0) ::close(out);
        ::close(in);
        return Fail(error);
    }
    // A file copied onto itself is already what it should be; truncating it would lose it.
    if (source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
        ::close(out);
        ::close(in);
        return true;
    }
    // The old content is written over and cut to length afterwards: freeing a large old
    // file's blocks only to take new ones costs more than reusing them.
    bool ok = true;
    bool inKernel = true;
    int error = 0;
    while (ok) {
        const ssize_t n =
            inKernel ? ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0) : -1;
        if (n > 0) continue;
        if (n == 0) break;
        if (inKernel && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            inKernel = false;  // file systems that cannot: plain reads and writes
            char buffer[1 << 16];
            while (true) {
                const ssize_t r = ::read(in, buffer, sizeof buffer);
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) {
                    ok = r == 0;
                    break;
                }
                if (!WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(r)))) {
                    ok = false;
                    error = errno;
                    break;
                }
            }
            break;
        }
        if (errno != EINTR) {
            ok = false;
            error = errno;
        }
    }
    if (ok) {
        const off_t length = ::lseek(out, 0, SEEK_CUR);
        ok = length >= 0 && ::ftruncate(out, length) == 0;
        if (!ok) error = errno;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    ::close(in);
    return ok || Fail(error);
}

bool PosixFileSystem::DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

// The new file and the old one trade names in one step, and the old one is then removed:
// `to` always names a whole file, and no reader or kill ever sees half of one. A plain
// rename over an existing file would do the same, but ext4 then writes the new file's
// data out before it returns, which for a photo-sized bitmap costs more than the rest of
// the installation; without a file to trade with (or a file system that cannot trade),
// a plain rename it is.
bool PosixFileSystem::RenameFile(const std::string& from, const std::string& to) {
    // Trading names works for folders too: a folder named as either side would be moved,
    // whatever it holds. Only files are renamed.
    struct stat st {};
    if ((::lstat(from.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ||
        (::stat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) || (!to.empty() && to.back() == '/')) {
        return Fail(EISDIR);
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 || Fail(errno);
}

bool PosixFileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& out) {
    out.clear();
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return Fail(errno);
    const int dirFd = ::dirfd(dir);
    while (dirent* ent = ::readdir(dir)) {
        const char* name = ent->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        DirEntry e;
        e.name = name;
        e.hidden = name[0] == '.';
        // The entry type from the listing spares a stat per file in large folders; links
        // and file systems that do not report a type are asked directly.
        if (ent->d_type == DT_REG || ent->d_type == DT_DIR) {
            e.isDirectory = ent->d_type == DT_DIR;
        } else {
            struct stat st {};
            // Links are followed, so a link to a folder is a folder; a dangling link is skipped.
            if (::fstatat(dirFd, name, &st, 0) != 0) continue;
            e.isDirectory = S_ISDIR(st.st_mode);
            // Sockets, devices and pipes are what "system" entries are here: never candidates.
            e.system = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
        }
        out.push_back(std::move(e));
    }
    ::closedir(dir);
    // readdir returns names in no stable order, so "the N-th file" of a folder would
    // change from run to run. Names are ordered as the common Windows file system orders
    // them: upper-cased, then compared code unit by code unit; names that differ only in
    // case (possible here, not there) fall back to a plain comparison.
    std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) {
        const int folded = CompareUpperCased(a.name, b.name);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
    return true;
}

bool PosixFileSystem::FolderIdentity(const std::string& folder, std::string& idOut) {
    struct stat st {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0) return false;
    idOut = std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
            std::to_string(static_cast<unsigned long long>(st.st_ino));
    return true;
}

// What an unprivileged writer may still use: the blocks kept for root do not count. A
// file system mounted read-only takes nothing whatever it has free; that is no shortage
// of space, and the write itself says what it is.
bool PosixFileSystem::FreeSpace(const std::string& path, std::uint64_t& bytesOut) {
    struct statvfs st {};
    if (::statvfs(DirName(path).c_str(), &st) != 0) return Fail(errno);
    if (st.f_flag & ST_RDONLY) return Fail(EROFS);
    bytesOut = static_cast<std::uint64_t>(st.f_bavail) * (st.f_frsize != 0 ? st.f_frsize : st.f_bsize);
    return true;
}

}  // namespace vexal
