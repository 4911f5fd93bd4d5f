// The wallpaper services against the private Wine prefix's registry and Windows folder.
#include "platform/win32/win32_desktop.h"

#include <gtest/gtest.h>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "win32/test_pictures.h"
#include "win32/win_temp_dir.h"

namespace vexal {
namespace {

// The string value, and its stored size in bytes; false when it is not there.
bool ReadString(const wchar_t* key, const wchar_t* name, std::wstring& valueOut, DWORD& bytesOut,
                DWORD& typeOut) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
    wchar_t buffer[512] = {};
    bytesOut = sizeof buffer;
    const LONG status =
        ::RegQueryValueExW(h, name, nullptr, &typeOut, reinterpret_cast<BYTE*>(buffer), &bytesOut);
    ::RegCloseKey(h);
    valueOut = buffer;
    return status == ERROR_SUCCESS;
}

bool KeyExists(const wchar_t* key) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
    ::RegCloseKey(h);
    return true;
}

// Run by a user who may write into the Windows folder (the test prefix's owner); a user who
// may not is the packages test's, against the installed program.
TEST(Win32DesktopTest, WallpaperFolderIsTheWritableWindowsFolderWithoutSeparator) {
    Win32Desktop desktop;
    std::string folder;
    ASSERT_TRUE(desktop.WallpaperFolder(folder));
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::string expected = win32::Narrow(windows);
    while (!expected.empty() && expected.back() == '\\') expected.pop_back();
    EXPECT_EQ(folder, expected);
    // The check whether it may be written leaves nothing there.
    std::vector<DirEntry> entries;
    ASSERT_TRUE(Win32FileSystem().ListFolder(folder, entries));
    for (const DirEntry& e : entries) EXPECT_NE(e.name.rfind(".vexal-tmp-", 0), 0u) << e.name;
}

TEST(Win32DesktopTest, LockFolderIsTheUsersOwnMadeWhenMissing) {
    wchar_t local[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
    const std::string expected = win32::Narrow(local) + "\\vexal";
    ::RemoveDirectoryW(win32::Widen(expected).c_str());  // only when empty
    Win32Desktop desktop;
    std::string folder;
    ASSERT_TRUE(desktop.LockFolder(folder));
    EXPECT_EQ(folder, expected);
    const DWORD attributes = ::GetFileAttributesW(win32::Widen(folder).c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST(Win32DesktopTest, StyleValuesAreStringsWithTheirNulCounted) {
    Win32Desktop desktop;
    const struct {
        const char* value;
        const wchar_t* wide;
    } rows[] = {{"0", L"0"}, {"2", L"2"}, {"", L""}, {"\u58c1", L"\u58c1"}};
    for (const auto& row : rows) {
        desktop.SetKeyValue("Control Panel\\Desktop", "VexalTestStyle", row.value);
        std::wstring value;
        DWORD bytes = 0, type = 0;
        ASSERT_TRUE(ReadString(L"Control Panel\\Desktop", L"VexalTestStyle", value, bytes, type))
            << row.value;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value, row.wide);
        EXPECT_EQ(bytes, (wcslen(row.wide) + 1) * sizeof(wchar_t));
    }
    HKEY h = nullptr;
    ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &h);
    ::RegDeleteValueW(h, L"VexalTestStyle");
    ::RegCloseKey(h);
}

TEST(Win32DesktopTest, AMissingKeyIsNeverCreated) {
    Win32Desktop desktop;
    const std::wstring key = L"Software\\VexalTestMissing" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_FALSE(KeyExists(key.c_str()));
    desktop.SetKeyValue(win32::Narrow(key), "WallpaperStyle", "2");
    EXPECT_FALSE(KeyExists(key.c_str()));
}

TEST(Win32DesktopTest, SetWallpaperRecordsThePathForTheSystem) {
    testing::WinTempDir dir;
    Win32FileSystem files;
    const std::string path = dir / "\u58c1\u7d19.bmp";  // a name outside ASCII survives
    ASSERT_TRUE(files.WriteFile(path, testing::Bmp(2, 2, std::vector<std::uint32_t>(4, 0xFF336699))));
    Win32Desktop desktop;
    EXPECT_TRUE(desktop.SetWallpaper(path));
    std::wstring value;
    DWORD bytes = 0, type = 0;
    ASSERT_TRUE(ReadString(L"Control Panel\\Desktop", L"Wallpaper", value, bytes, type));
    EXPECT_EQ(win32::Narrow(value), path);
}

}  // namespace
}  // namespace vexal
