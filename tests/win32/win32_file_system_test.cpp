// The Windows file system against a real folder: attributes, listing, atomic replacement,
// names outside ASCII.
#include "platform/win32/win32_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_run_guard.h"
#include "win32/win_temp_dir.h"

namespace vexal {
namespace {

using testing::WinTempDir;

class Win32FileSystemTest : public ::testing::Test {
protected:
    void Make(const std::string& name, const std::string& bytes, DWORD attributes = 0) {
        ASSERT_TRUE(files.WriteFile(dir / name, bytes)) << name;
        if (attributes) {
            ASSERT_TRUE(::SetFileAttributesW(dir.wide(name).c_str(), attributes)) << name;
        }
    }
    std::vector<std::string> TempLeftovers() {
        std::vector<DirEntry> entries;
        files.ListFolder(dir.path(), entries);
        std::vector<std::string> out;
        for (const auto& e : entries)
            if (e.name.find(".tmp") != std::string::npos) out.push_back(e.name);
        return out;
    }

    WinTempDir dir;
    Win32FileSystem files;
};

TEST_F(Win32FileSystemTest, NormalFileMeansVisibleAndNotAFolder) {
    Make("plain.jpg", "x");
    Make("hidden.jpg", "x", FILE_ATTRIBUTE_HIDDEN);
    Make("system.jpg", "x", FILE_ATTRIBUTE_SYSTEM);
    Make("readonly.jpg", "x", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("folder.jpg").c_str(), nullptr));

    const struct {
        const char* name;
        bool normal;
    } rows[] = {
        {"plain.jpg", true},
        {"readonly.jpg", true},
        {"hidden.jpg", false},
        {"system.jpg", false},
        {"folder.jpg", false},
        {"missing.jpg", false},
        // A wildcard names no file, even where files would match it.
        {"*.jpg", false},
        {"plain.jp?", false},
    };
    for (const auto& row : rows) EXPECT_EQ(files.IsNormalFile(dir / row.name), row.normal) << row.name;
    EXPECT_FALSE(files.IsNormalFile(""));
}

TEST_F(Win32FileSystemTest, ListingCarriesAttributesAndLeavesOutDotEntries) {
    Make("a.gif", "x");
    Make("h.gif", "x", FILE_ATTRIBUTE_HIDDEN);
    Make("s.gif", "x", FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("sub").c_str(), nullptr));

    std::vector<DirEntry> entries;
    ASSERT_TRUE(files.ListFolder(dir.path(), entries));
    auto find = [&](const std::string& name) {
        auto it =
            std::find_if(entries.begin(), entries.end(), [&](const DirEntry& e) { return e.name == name; });
        return it == entries.end() ? nullptr : &*it;
    };
    ASSERT_EQ(entries.size(), 4u);
    ASSERT_TRUE(find("a.gif") && find("h.gif") && find("s.gif") && find("sub"));
    EXPECT_FALSE(find("a.gif")->hidden || find("a.gif")->system || find("a.gif")->isDirectory);
    EXPECT_TRUE(find("h.gif")->hidden);
    EXPECT_TRUE(find("s.gif")->system);
    EXPECT_TRUE(find("sub")->isDirectory);

    // The same folder without its trailing backslash lists the same entries.
    std::vector<DirEntry> again;
    ASSERT_TRUE(files.ListFolder(dir.path().substr(0, dir.path().size() - 1), again));
    EXPECT_EQ(again.size(), entries.size());
}

TEST_F(Win32FileSystemTest, ListingAnEmptyFolderSucceedsAndAMissingOneFails) {
    std::vector<DirEntry> entries{DirEntry{}};
    EXPECT_TRUE(files.ListFolder(dir.path(), entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(files.ListFolder(dir / "nowhere\\", entries));
}

TEST_F(Win32FileSystemTest, NamesOutsideAsciiRoundTripAsUtf8) {
    const std::string name = "壁紙\u00e9\U0001F600.png";  // kanji, Latin-1 and a surrogate pair
    Make(name, "bytes");
    std::vector<DirEntry> entries;
    ASSERT_TRUE(files.ListFolder(dir.path(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, name);
    std::string bytes;
    ASSERT_TRUE(files.ReadFile(dir / name, bytes));
    EXPECT_EQ(bytes, "bytes");
}

TEST_F(Win32FileSystemTest, ReadKeepsEveryByte) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    all += "\r\n\x1a tail";  // CR LF and Ctrl-Z stay: files are bytes, not text
    Make("bin", all);
    std::string back;
    ASSERT_TRUE(files.ReadFile(dir / "bin", back));
    EXPECT_EQ(back, all);
    EXPECT_FALSE(files.ReadFile(dir / "missing", back));
    EXPECT_FALSE(files.ReadFile(dir.path(), back));  // a folder is not a file
}

TEST_F(Win32FileSystemTest, WriteTruncatesALongerFile) {
    Make("f", "a much longer old content");
    ASSERT_TRUE(files.WriteFile(dir / "f", "new"));
    std::string back;
    ASSERT_TRUE(files.ReadFile(dir / "f", back));
    EXPECT_EQ(back, "new");
}

// Regression: appending fell back to reading and rewriting the whole file for every
// piece, so writing a large bitmap took time quadratic in its size.
TEST_F(Win32FileSystemTest, AppendAddsAtTheEndOfAnExistingFileOnly) {
    Make("b", "head");
    ASSERT_TRUE(files.AppendFile(dir / "b", "-one"));
    ASSERT_TRUE(files.AppendFile(dir / "b", "-two"));
    std::string back;
    ASSERT_TRUE(files.ReadFile(dir / "b", back));
    EXPECT_EQ(back, "head-one-two");
    EXPECT_FALSE(files.AppendFile(dir / "missing", "x"));
    EXPECT_FALSE(files.ReadFile(dir / "missing", back));
}

TEST_F(Win32FileSystemTest, ReplaceSwapsContentAndLeavesNoTemporaryFile) {
    Make("vexal.ini", "old");
    ASSERT_TRUE(files.ReplaceFile(dir / "vexal.ini", "new content"));
    std::string back;
    ASSERT_TRUE(files.ReadFile(dir / "vexal.ini", back));
    EXPECT_EQ(back, "new content");
    ASSERT_TRUE(files.ReplaceFile(dir / "fresh.ini", "created"));
    ASSERT_TRUE(files.ReadFile(dir / "fresh.ini", back));
    EXPECT_EQ(back, "created");
    EXPECT_TRUE(TempLeftovers().empty());
}

TEST_F(Win32FileSystemTest, FailedReplaceKeepsTheOldFileWhole) {
    // The settings file held open without sharing (as an editor or a virus scanner may)
    // cannot be replaced; its old content must survive and no temporary file stay behind.
    Make("vexal.ini", "old");
    HANDLE held =
        ::CreateFileW(dir.wide("vexal.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(files.ReplaceFile(dir / "vexal.ini", "new"));
    ::CloseHandle(held);
    std::string back;
    ASSERT_TRUE(files.ReadFile(dir / "vexal.ini", back));
    EXPECT_EQ(back, "old");
    EXPECT_TRUE(TempLeftovers().empty());

    // A folder in the file's place is never replaced by a file.
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("folder.ini").c_str(), nullptr));
    EXPECT_FALSE(files.ReplaceFile(dir / "folder.ini", "new"));
    EXPECT_TRUE(::GetFileAttributesW(dir.wide("folder.ini").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(TempLeftovers().empty());

    EXPECT_FALSE(files.ReplaceFile(dir / "nowhere\\vexal.ini", "new"));
}

// A failure says why, from the system's own error, for a message to name. (Wine run as
// root writes into read-only files, so a folder in the file's place stands for the
// refusal: Windows answers it with access denied.)
TEST_F(Win32FileSystemTest, FailuresSayWhyTheyFailed) {
    Make("wpcache.bmp", "new");
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("wallpaper.bmp").c_str(), nullptr));
    EXPECT_FALSE(files.WriteFile(dir / "wallpaper.bmp", "new"));
    EXPECT_EQ(files.LastFailure(), FileFailure::NotPermitted);
    EXPECT_FALSE(files.ReplaceFile(dir / "nowhere\\vexal.ini", "new"));
    EXPECT_EQ(files.LastFailure(), FileFailure::Missing) << "a missing folder is no permission problem";
    // A folder source that is not there is told from one that cannot be listed.
    std::vector<DirEntry> entries;
    EXPECT_FALSE(files.ListFolder(dir / "nowhere\\", entries));
    EXPECT_EQ(files.LastFailure(), FileFailure::Missing);
    EXPECT_FALSE(files.ListFolder(dir / "wpcache.bmp\\", entries));
    EXPECT_EQ(files.LastFailure(), FileFailure::Missing) << "a file is no folder";
    EXPECT_TRUE(files.WriteFile(dir / "wpcache.bmp", "again"));
}

TEST_F(Win32FileSystemTest, CopyReplacesAndNeverLeavesAReadOnlyWorkingCopy) {
    // Regression: copying a read-only picture made a read-only working copy that the next
    // copy could not replace and the end of the run could not delete.
    Make("picture.bmp", "first", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(files.CopyFile(dir / "picture.bmp", dir / "wpcache.bmp"));
    ASSERT_TRUE(files.CopyFile(dir / "picture.bmp", dir / "wpcache.bmp"));
    std::string back;
    ASSERT_TRUE(files.ReadFile(dir / "wpcache.bmp", back));
    EXPECT_EQ(back, "first");
    EXPECT_TRUE(files.DeleteFile(dir / "wpcache.bmp"));
    EXPECT_FALSE(files.IsNormalFile(dir / "wpcache.bmp"));
    EXPECT_FALSE(files.DeleteFile(dir / "wpcache.bmp"));
    EXPECT_FALSE(files.CopyFile(dir / "missing.bmp", dir / "x.bmp"));
}

TEST_F(Win32FileSystemTest, FolderIdentityTellsFoldersApart) {
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("a").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(dir.wide("b").c_str(), nullptr));
    std::string a, aAgain, b;
    ASSERT_TRUE(files.FolderIdentity(dir / "a", a));
    ASSERT_TRUE(files.FolderIdentity(dir / "b\\..\\a\\", aAgain));
    ASSERT_TRUE(files.FolderIdentity(dir / "b", b));
    EXPECT_EQ(a, aAgain);
    EXPECT_NE(a, b);
    EXPECT_FALSE(files.FolderIdentity(dir / "missing", a));
}

// The lock let go before a run's last box: another run takes it at once, and the first
// no longer holds it.
TEST(Win32RunGuardTest, UnlockLetsAnotherRunTakeTheLock) {
    WinTempDir dir;
    const std::string folder = dir.path().substr(0, dir.path().size() - 1);
    Win32RunGuard first, second;
    EXPECT_EQ(first.TryLock(folder), RunGuard::LockState::Held);
    EXPECT_EQ(second.TryLock(folder), RunGuard::LockState::Busy);
    first.Unlock();
    first.Unlock();  // twice is once
    EXPECT_EQ(second.TryLock(folder), RunGuard::LockState::Held);
    EXPECT_EQ(first.TryLock(folder), RunGuard::LockState::Busy);
}

// A file not there yet, as a download's working file before its first byte, is asked
// about through its folder, by its full name or a relative one.
TEST_F(Win32FileSystemTest, FreeSpaceWhereAFileWillBe) {
    std::uint64_t free = 0;
    ASSERT_TRUE(files.FreeSpace(dir / "not-yet.jpg", free));
    EXPECT_GT(free, 0u);
    EXPECT_TRUE(files.FreeSpace("not-yet.jpg", free));
    EXPECT_FALSE(files.FreeSpace(dir / "missing\\x.jpg", free));
}

}  // namespace
}  // namespace vexal
