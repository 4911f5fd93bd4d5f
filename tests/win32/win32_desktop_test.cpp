// The wallpaper services against the private Wine prefix's registry and Windows folder.
#include "platform/win32/win32_desktop.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"
// clang-format off
#include <sddl.h>
// clang-format on
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
    const struct {
        const char* value;
        const wchar_t* wide;
    } rows[] = {{"0", L"0"}, {"2", L"2"}, {"", L""}, {"\u58c1", L"\u58c1"}};
    for (const auto& row : rows) {
        WriteStringValues("Control Panel\\Desktop", {{"VexalTestStyle", row.value}});
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
    const std::wstring key = L"Software\\VexalTestMissing" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_FALSE(KeyExists(key.c_str()));
    WriteStringValues(win32::Narrow(key), {{"WallpaperStyle", "2"}});
    EXPECT_FALSE(KeyExists(key.c_str()));
    std::vector<SavedValue> saved;
    EXPECT_FALSE(SaveValues(win32::Narrow(key), {"WallpaperStyle"}, saved)) << "nothing to put back";
    EXPECT_FALSE(KeyExists(key.c_str()));
}

TEST(Win32DesktopTest, SetWallpaperRecordsThePathForTheSystem) {
    testing::WinTempDir dir;
    Win32FileSystem files;
    const std::string path = dir / "\u58c1\u7d19.bmp";  // a name outside ASCII survives
    ASSERT_TRUE(files.WriteFile(path, testing::Bmp(2, 2, std::vector<std::uint32_t>(4, 0xFF336699))));
    Win32Desktop desktop;
    EXPECT_TRUE(desktop.SetWallpaper(path, {"10", "0"}));
    std::wstring value;
    DWORD bytes = 0, type = 0;
    ASSERT_TRUE(ReadString(L"Control Panel\\Desktop", L"Wallpaper", value, bytes, type));
    EXPECT_EQ(win32::Narrow(value), path);
    for (const auto& [name, wanted] :
         {std::pair{L"WallpaperStyle", L"10"}, std::pair{L"TileWallpaper", L"0"}}) {
        ASSERT_TRUE(ReadString(L"Control Panel\\Desktop", name, value, bytes, type));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value, wanted);
    }

    // Without a style the desktop keeps its own.
    WriteStringValues("Control Panel\\Desktop", {{"WallpaperStyle", "7"}, {"TileWallpaper", "7"}});
    EXPECT_TRUE(desktop.SetWallpaper(path, {}));
    for (const wchar_t* name : {L"WallpaperStyle", L"TileWallpaper"}) {
        ASSERT_TRUE(ReadString(L"Control Panel\\Desktop", name, value, bytes, type));
        EXPECT_EQ(value, L"7") << win32::Narrow(name);
    }
}

// The entry's colour becomes the session's desktop colour and the colour scheme's, where
// the next log-on finds it; a change without one leaves both as they are.
TEST(Win32DesktopTest, ColourGoesWithThePictureIntoTheSessionAndTheScheme) {
    testing::WinTempDir dir;
    const std::string path = dir / "wall.bmp";
    ASSERT_TRUE(
        Win32FileSystem().WriteFile(path, testing::Bmp(2, 2, std::vector<std::uint32_t>(4, 0xFF336699))));
    Win32Desktop desktop;
    std::wstring value;
    DWORD bytes = 0, type = 0;
    for (const std::uint32_t colour : {0x1E3A5Fu, 0xFF8000u}) {
        ASSERT_TRUE(desktop.SetWallpaper(path, {"6", "0", colour}));
        EXPECT_EQ(desktop.BackgroundColour(), colour);
        ASSERT_TRUE(ReadString(L"Control Panel\\Colors", L"Background", value, bytes, type));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(win32::Narrow(value), std::to_string(colour >> 16) + " " +
                                            std::to_string((colour >> 8) & 255) + " " +
                                            std::to_string(colour & 255));
    }
    ASSERT_TRUE(desktop.SetWallpaper(path, {"0", "0"}));
    EXPECT_EQ(desktop.BackgroundColour(), 0xFF8000u);
    ASSERT_TRUE(ReadString(L"Control Panel\\Colors", L"Background", value, bytes, type));
    EXPECT_EQ(value, L"255 128 0");
}

// What a value under "Control Panel\Desktop" holds, byte for byte; `there` false when it is
// not there at all.
struct RawValue {
    bool there = false;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    bool operator==(const RawValue&) const = default;
};

RawValue ReadRaw(const wchar_t* name) {
    RawValue raw;
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &h) !=
        ERROR_SUCCESS)
        return raw;
    BYTE buffer[1024];
    DWORD size = sizeof buffer;
    // Not RegGetValueW: it would end a string without its NUL with one.
    if (::RegQueryValueExW(h, name, nullptr, &raw.type, buffer, &size) == ERROR_SUCCESS) {
        raw.there = true;
        raw.bytes.assign(buffer, buffer + size);
    }
    ::RegCloseKey(h);
    return raw;
}

void WriteRaw(const wchar_t* name, const RawValue& raw) {
    HKEY h = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &h),
              ERROR_SUCCESS);
    // Not NUL after the data, or a string without its NUL would be stored with one.
    std::vector<BYTE> bytes = raw.bytes;
    bytes.insert(bytes.end(), {0xFF, 0xFF});
    if (raw.there)
        ::RegSetValueExW(h, name, 0, raw.type, bytes.data(), static_cast<DWORD>(raw.bytes.size()));
    else
        ::RegDeleteValueW(h, name);
    ::RegCloseKey(h);
}

RawValue Text(DWORD type, const std::wstring& text, bool withNul = true) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {true, type,
            std::vector<BYTE>(bytes, bytes + (text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t))};
}

// Wine refuses to make a bitmap the wallpaper only when it cannot store its path, and it
// stores it through a handle to "Control Panel\Desktop" that each process opens as it
// starts. A process started while nobody may set values there keeps a handle that cannot,
// even once the key's permissions are back as they were; its later handles can. So this
// case runs in a process of its own, started by ARefusedChangePutsTheStyleValuesBack, which
// hands it the permissions to put back.
constexpr const wchar_t* kPermissionsVariable = L"VEXAL_TEST_DESKTOP_KEY_DACL";

bool SetDesktopKeyDacl(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr))
        return false;
    HKEY h = nullptr;
    bool set = false;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, WRITE_DAC, &h) == ERROR_SUCCESS) {
        set = ::RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
        ::RegCloseKey(h);
    }
    ::LocalFree(sd);
    return set;
}

TEST(Win32DesktopRefusedTest, StyleValuesAsTheyWere) {
    wchar_t dacl[1024] = {};
    if (::GetEnvironmentVariableW(kPermissionsVariable, dacl, 1024) == 0)
        GTEST_SKIP()
            << "run in a process of its own by Win32DesktopTest.ARefusedChangePutsTheStyleValuesBack";
    ASSERT_TRUE(SetDesktopKeyDacl(dacl));
    testing::WinTempDir dir;
    const std::string path = dir / "wall.bmp";
    ASSERT_TRUE(
        Win32FileSystem().WriteFile(path, testing::Bmp(2, 2, std::vector<std::uint32_t>(4, 0xFF336699))));
    const wchar_t* names[] = {L"WallpaperStyle", L"TileWallpaper", L"Wallpaper"};
    RawValue kept[3];
    for (int i = 0; i < 3; ++i) kept[i] = ReadRaw(names[i]);

    const struct {
        const char* name;
        RawValue wallpaperStyle, tileWallpaper;
    } rows[] = {
        {"strings", Text(REG_SZ, L"7"), Text(REG_SZ, L"7")},
        {"neitherThere", {}, {}},
        {"otherKinds", {true, REG_DWORD, {2, 0, 0, 0}}, Text(REG_EXPAND_SZ, L"%TILE%")},
        {"stringWithoutItsNulAndOneMissing", Text(REG_SZ, L"10", false), {}},
    };
    for (const auto& row : rows) {
        WriteRaw(names[0], row.wallpaperStyle);
        WriteRaw(names[1], row.tileWallpaper);
        ASSERT_EQ(ReadRaw(names[0]), row.wallpaperStyle) << row.name << ": stored as meant";
        const RawValue wallpaper = ReadRaw(names[2]);
        // The colour that came with it is refused with it.
        const COLORREF colour = ::GetSysColor(COLOR_BACKGROUND);
        const DesktopResult set = Win32Desktop().SetWallpaper(path, {"2", "0", 0x1E3A5F});
        EXPECT_EQ(set.failure, DesktopFailure::SystemRefused) << row.name;
        EXPECT_EQ(::GetSysColor(COLOR_BACKGROUND), colour) << row.name;
        EXPECT_EQ(ReadRaw(names[2]), wallpaper) << row.name << ": the system really refused";
        EXPECT_EQ(ReadRaw(names[0]), row.wallpaperStyle) << row.name;
        EXPECT_EQ(ReadRaw(names[1]), row.tileWallpaper) << row.name;
    }
    for (int i = 0; i < 3; ++i) WriteRaw(names[i], kept[i]);
}

TEST(Win32DesktopTest, ARefusedChangePutsTheStyleValuesBack) {
    HKEY h = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, READ_CONTROL | WRITE_DAC, &h),
              ERROR_SUCCESS);
    DWORD size = 0;
    ::RegGetKeySecurity(h, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> original(size);
    ASSERT_EQ(::RegGetKeySecurity(h, DACL_SECURITY_INFORMATION, original.data(), &size), ERROR_SUCCESS);
    LPWSTR sddl = nullptr;
    ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        original.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl, nullptr));
    const std::wstring permissions = sddl;
    ::LocalFree(sddl);

    // Everyone may read the key and change its permissions back, and nobody may set values.
    ASSERT_TRUE(SetDesktopKeyDacl(L"D:(A;;KRRCWD;;;WD)"));
    ::SetEnvironmentVariableW(kPermissionsVariable, permissions.c_str());
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=Win32DesktopRefusedTest.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &child);
    ::SetEnvironmentVariableW(kPermissionsVariable, nullptr);
    DWORD status = 1;
    if (started) {
        if (::WaitForSingleObject(child.hProcess, 300000) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(child.hProcess, &status);
        else
            ::TerminateProcess(child.hProcess, 1);
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
    }
    // Put back here as well, whatever became of the child.
    EXPECT_EQ(::RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, original.data()), ERROR_SUCCESS);
    ::RegCloseKey(h);
    ASSERT_TRUE(started);
    EXPECT_EQ(status, 0u) << "Win32DesktopRefusedTest failed; its output is above";
}

}  // namespace
}  // namespace vexal
