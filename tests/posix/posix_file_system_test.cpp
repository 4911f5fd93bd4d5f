// The POSIX file layer on real files: atomic replacement, listing, hidden entries.
#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "host/run_guard.h"
#include "platform/posix/posix_run_guard.h"
#include "posix/temp_dir.h"

namespace vexal {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PosixFileSystemTest, ReplaceWritesWholeFileAndKeepsNoTemporary) {
    testing::TempDir dir;
    PosixFileSystem fs;
    const std::string path = dir / "vexal.ini";
    ASSERT_TRUE(fs.ReplaceFile(path, "first version, long"));
    ASSERT_TRUE(fs.ReplaceFile(path, "second"));
    EXPECT_EQ(Slurp(path), "second");
    std::vector<DirEntry> entries;
    ASSERT_TRUE(fs.ListFolder(dir.path(), entries));
    EXPECT_EQ(entries.size(), 1u);
}

// Regression: saving a linked settings file replaced the link with a plain file, so the
// file kept elsewhere (by a dotfile manager, say) never saw the change.
TEST(PosixFileSystemTest, ReplaceThroughLinksUpdatesTheTargetAndKeepsTheLinks) {
    testing::TempDir dir;
    PosixFileSystem fs;
    std::filesystem::create_directories(dir / "dotfiles/vexal");
    std::filesystem::create_directories(dir / "work");
    const std::string target = dir / "dotfiles/vexal/vexal.ini";
    std::ofstream(target, std::ios::binary) << "old";
    std::filesystem::permissions(target, std::filesystem::perms(0600));
    // A relative link to a relative link, as dotfile managers make them.
    std::filesystem::create_symlink("../dotfiles/vexal/vexal.ini", dir / "work/inner.ini");
    std::filesystem::create_symlink("inner.ini", dir / "work/vexal.ini");

    ASSERT_TRUE(fs.ReplaceFile(dir / "work/vexal.ini", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "work/vexal.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "work/inner.ini"));
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0600));
    // The temporary file was made and renamed beside the target, not beside the link.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "dotfiles/vexal"), {}), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "work"), {}), 2);

    // A link whose target does not exist yet: the target is created.
    std::filesystem::create_symlink("../dotfiles/new.ini", dir / "work/fresh.ini");
    ASSERT_TRUE(fs.ReplaceFile(dir / "work/fresh.ini", "fresh"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "work/fresh.ini"));
    EXPECT_EQ(Slurp(dir / "dotfiles/new.ini"), "fresh");
}

// The program's own files are replaced as names: a link in their place is replaced by a
// file (ReplaceOwnFile) or refused (WriteFile, AppendFile, a copy's destination), and the
// file it points to is never written.
TEST(PosixFileSystemTest, OwnFilesAreNeverWrittenThroughLinks) {
    testing::TempDir dir;
    PosixFileSystem fs;
    std::filesystem::create_directories(dir / "data");
    const std::string outside = dir / "outside.txt", source = dir / "source.txt";
    std::ofstream(source, std::ios::binary) << "source";
    const struct {
        const char* name;
        std::function<bool(const std::string&)> write;
        bool written;  // true: the name then holds its own new file
    } rows[] = {
        {"replace", [&](const std::string& p) { return fs.ReplaceOwnFile(p, "new"); }, true},
        {"write", [&](const std::string& p) { return fs.WriteFile(p, "new"); }, false},
        {"append", [&](const std::string& p) { return fs.AppendFile(p, "new"); }, false},
        {"copy", [&](const std::string& p) { return fs.CopyFile(source, p); }, false},
    };
    for (const auto& r : rows) {
        std::ofstream(outside, std::ios::binary) << "the user's own";
        const std::string link = dir / "data/history.txt";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(outside, link);
        EXPECT_EQ(r.write(link), r.written) << r.name;
        EXPECT_EQ(Slurp(outside), "the user's own") << r.name;
        EXPECT_EQ(std::filesystem::is_symlink(link), !r.written) << r.name;
        EXPECT_EQ(Slurp(link), r.written ? "new" : "the user's own") << r.name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "data"), {}), 1) << "no temporary left";
}

TEST(PosixFileSystemTest, FailedReplaceLeavesOldFile) {
    testing::TempDir dir;
    PosixFileSystem fs;
    EXPECT_FALSE(fs.ReplaceFile(dir / "missing-folder/vexal.ini", "x"));
    EXPECT_EQ(fs.LastFailure(), FileFailure::Missing);
    // A folder source that is not there is told from one that cannot be listed.
    std::vector<DirEntry> entries;
    EXPECT_FALSE(fs.ListFolder(dir / "missing-folder/", entries));
    EXPECT_EQ(fs.LastFailure(), FileFailure::Missing);
    // A folder in the way: the rename fails and the folder stays as it was.
    std::filesystem::create_directory(dir / "busy");
    EXPECT_FALSE(fs.ReplaceFile(dir / "busy", "x"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "busy"));
}

// Regression: a save killed half-way must never leave a mix of old and new, or nothing.
// What it leaves is its temporary file, under the name by which the next run knows it for
// a dead process's and removes it (it was once a name no run recognised).
TEST(PosixFileSystemTest, SaveKilledAtRandomMomentsLeavesOldOrNewFile) {
    testing::TempDir dir;
    const std::string path = dir / "vexal.ini";
    const std::string a(256 * 1024, 'a'), b(300 * 1024, 'b');
    PosixFileSystem fs;
    ASSERT_TRUE(fs.ReplaceFile(path, a));
    std::mt19937 rng(12345);
    std::vector<std::uint32_t> killed;
    for (int round = 0; round < 25; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PosixFileSystem childFs;
            for (int i = 0;; ++i) childFs.ReplaceFile(path, i % 2 ? a : b);
        }
        ::usleep(std::uniform_int_distribution<int>(0, 20000)(rng));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        killed.push_back(static_cast<std::uint32_t>(child));
        const std::string now = Slurp(path);
        ASSERT_TRUE(now == a || now == b) << "round " << round << " size " << now.size();
    }
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        if (name == "vexal.ini") continue;
        std::uint32_t writer = 0;
        EXPECT_TRUE(TempNameWriter(name, writer) &&
                    std::find(killed.begin(), killed.end(), writer) != killed.end())
            << name << " is not known for a killed save's file";
    }
}

TEST(PosixFileSystemTest, NormalFilesOnly) {
    testing::TempDir dir;
    PosixFileSystem fs;
    ASSERT_TRUE(fs.WriteFile(dir / "a.jpg", "x"));
    ASSERT_TRUE(fs.WriteFile(dir / ".hidden.jpg", "x"));
    std::filesystem::create_directory(dir / "sub.jpg");
    EXPECT_TRUE(fs.IsNormalFile(dir / "a.jpg"));
    EXPECT_FALSE(fs.IsNormalFile(dir / ".hidden.jpg"));
    EXPECT_FALSE(fs.IsNormalFile(dir / "sub.jpg"));
    EXPECT_FALSE(fs.IsNormalFile(dir / "none.jpg"));
}

// Regression: renaming a file onto a folder's name traded the two, and the folder (the
// data folder, lock and all) went where the file had been.
TEST(PosixFileSystemTest, NoOperationMovesReplacesOrDeletesAFolder) {
    const struct {
        const char* name;
        std::function<bool(PosixFileSystem&, const std::string& file, const std::string& folder)> op;
    } rows[] = {
        {"renameOnto", [](auto& fs, auto& file, auto& folder) { return fs.RenameFile(file, folder); }},
        {"renameOntoWithSlash",
         [](auto& fs, auto& file, auto& folder) { return fs.RenameFile(file, folder + "/"); }},
        {"renameFrom", [](auto& fs, auto& file, auto& folder) { return fs.RenameFile(folder, file); }},
        {"renameDurably", [](auto& fs, auto& file, auto& folder) { return fs.RenameDurably(file, folder); }},
        {"copyOnto", [](auto& fs, auto& file, auto& folder) { return fs.CopyFile(file, folder); }},
        {"copyFrom", [](auto& fs, auto& file, auto& folder) { return fs.CopyFile(folder, file); }},
        {"replace", [](auto& fs, auto&, auto& folder) { return fs.ReplaceFile(folder, "x"); }},
        {"write", [](auto& fs, auto&, auto& folder) { return fs.WriteFile(folder, "x"); }},
        {"delete", [](auto& fs, auto&, auto& folder) { return fs.DeleteFile(folder); }},
    };
    for (const auto& r : rows) {
        testing::TempDir dir;
        PosixFileSystem fs;
        const std::string file = dir / "wpcache.bmp", folder = dir / "data";
        ASSERT_TRUE(fs.WriteFile(file, "picture"));
        std::filesystem::create_directory(folder);
        ASSERT_TRUE(fs.WriteFile(folder + "/lock", "held"));
        EXPECT_FALSE(r.op(fs, file, folder)) << r.name;
        EXPECT_TRUE(std::filesystem::is_directory(folder)) << r.name;
        std::string bytes;
        EXPECT_TRUE(fs.ReadFile(folder + "/lock", bytes) && bytes == "held") << r.name;
        EXPECT_TRUE(fs.ReadFile(file, bytes) && bytes == "picture") << r.name;
    }
}

TEST(PosixFileSystemTest, WriteTruncatesOldTail) {
    testing::TempDir dir;
    PosixFileSystem fs;
    ASSERT_TRUE(fs.WriteFile(dir / "w.gif", "long old content"));
    ASSERT_TRUE(fs.WriteFile(dir / "w.gif", "new"));
    EXPECT_EQ(Slurp(dir / "w.gif"), "new");
}

// Regression: a settings file linked to /dev/zero was read until the memory ran out.
TEST(PosixFileSystemTest, BoundedReadStopsAtItsBound) {
    testing::TempDir dir;
    PosixFileSystem fs;
    std::ofstream(dir / "ten.txt") << "0123456789";
    std::filesystem::create_symlink("/dev/zero", dir / "zero.ini");
    const struct {
        const char* name;
        std::string path;
        std::uint64_t bound;
        ReadFailure why;
    } rows[] = {
        {"at the bound", dir / "ten.txt", 10, ReadFailure::Nothing},
        {"past the bound", dir / "ten.txt", 9, ReadFailure::TooLarge},
        {"endless device", dir / "zero.ini", 1 << 20, ReadFailure::TooLarge},
        {"folder", dir.path(), 100, ReadFailure::Folder},
        {"missing", dir / "none.txt", 100, ReadFailure::Missing},
    };
    for (const auto& r : rows) {
        std::string bytes = "old";
        EXPECT_EQ(fs.ReadFileAtMost(r.path, r.bound, bytes), r.why) << r.name;
        EXPECT_EQ(bytes, r.why == ReadFailure::Nothing ? "0123456789" : "") << r.name;
    }
    // The head of a file, for telling its kind: never more than asked, even of a device.
    const struct {
        std::string path;
        std::size_t count;
        bool ok;
        std::string head;
    } heads[] = {
        {dir / "ten.txt", 4, true, "0123"},
        {dir / "ten.txt", 64, true, "0123456789"},
        {dir / "zero.ini", 64, true, std::string(64, '\0')},
        {dir / "none.txt", 64, false, ""},
    };
    for (const auto& h : heads) {
        std::string bytes = "old";
        EXPECT_EQ(fs.ReadFileHead(h.path, h.count, bytes), h.ok) << h.path << " " << h.count;
        EXPECT_EQ(bytes, h.head) << h.path << " " << h.count;
    }
}

// The lock let go before a run's last box: another run takes it at once, and the first
// no longer holds it.
TEST(PosixRunGuardTest, UnlockLetsAnotherRunTakeTheLock) {
    testing::TempDir dir;
    PosixRunGuard first, second;
    EXPECT_EQ(first.TryLock(dir.path()), RunGuard::LockState::Held);
    EXPECT_EQ(second.TryLock(dir.path()), RunGuard::LockState::Busy);
    first.Unlock();
    first.Unlock();  // twice is once
    EXPECT_EQ(second.TryLock(dir.path()), RunGuard::LockState::Held);
    EXPECT_EQ(first.TryLock(dir.path()), RunGuard::LockState::Busy);
}

// A file that is not there yet, as a download's working file before its first byte, is
// asked about through its folder.
TEST(PosixFileSystemTest, FreeSpaceWhereAFileWillBe) {
    testing::TempDir dir;
    PosixFileSystem fs;
    std::uint64_t free = 0;
    ASSERT_TRUE(fs.FreeSpace(dir / "not-yet.jpg", free));
    const std::uint64_t available = std::filesystem::space(dir.path()).available;
    EXPECT_LE(free > available ? free - available : available - free, std::uint64_t{64} << 20);
    EXPECT_FALSE(fs.FreeSpace(dir / "missing/x.jpg", free));
    EXPECT_EQ(fs.LastFailure(), FileFailure::Missing);
}

}  // namespace
}  // namespace vexal
