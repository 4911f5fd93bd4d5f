// vexal.exe as a file: the icon Explorer shows, the version strings of its properties,
// no debug information, and no DLL beyond those Windows ships.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "platform/win32/utf16.h"
#include "win32/program/program_runner.h"

namespace vexal::testing {
namespace {

#pragma pack(push, 2)
// An icon group resource: the .ico directory with each image's file offset replaced by
// the number of its RT_ICON resource.
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// One image's bytes of a .ico file, by width (256 is stored as 0).
std::map<int, std::string> IcoImages(const std::string& ico) {
    std::map<int, std::string> images;
    if (ico.size() < 6) return images;
    const int count = static_cast<unsigned char>(ico[4]) | static_cast<unsigned char>(ico[5]) << 8;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = 6 + static_cast<std::size_t>(i) * 16;
        if (at + 16 > ico.size()) break;
        DWORD size, offset;
        std::memcpy(&size, ico.data() + at + 8, 4);
        std::memcpy(&offset, ico.data() + at + 12, 4);
        if (offset + static_cast<std::size_t>(size) > ico.size()) break;
        const int width = static_cast<unsigned char>(ico[at]);
        images[width ? width : 256] = ico.substr(offset, size);
    }
    return images;
}

class ProgramFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_) ::FreeLibrary(module_);
    }
    std::string Resource(const wchar_t* type, WORD id) {
        HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (!found) return {};
        const void* data = ::LockResource(::LoadResource(module_, found));
        return data ? std::string(static_cast<const char*>(data), ::SizeofResource(module_, found))
                    : std::string();
    }
    HMODULE module_ = nullptr;
};

TEST_F(ProgramFileTest, IconIsTheShippedIconAtEverySize) {
    const std::map<int, std::string> shipped =
        IcoImages(ReadWholeFile(win32::Narrow(BuildMachinePath(VEXAL_ICON_FILE))));
    ASSERT_FALSE(shipped.empty()) << VEXAL_ICON_FILE;

    // Explorer and the Start menu show the icon group with the lowest number.
    const std::string group = Resource(RT_GROUP_ICON, 1);
    ASSERT_GE(group.size(), 6u);
    WORD type, count;
    std::memcpy(&type, group.data() + 2, 2);
    std::memcpy(&count, group.data() + 4, 2);
    EXPECT_EQ(type, 1) << "an icon, not a cursor";
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupEntry));
    std::map<int, std::string> carried;
    for (WORD i = 0; i < count; ++i) {
        GroupEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof(GroupEntry), sizeof entry);
        const std::string image = Resource(RT_ICON, entry.id);
        EXPECT_EQ(image.size(), entry.bytes) << "icon " << entry.id;
        carried[entry.width ? entry.width : 256] = image;
    }
    EXPECT_EQ(carried, shipped);
    for (int size : {16, 32, 48, 256}) EXPECT_EQ(carried.count(size), 1u) << size;

    // Windows itself can draw it at the sizes its shell asks for.
    for (int size : {16, 32, 48, 256}) {
        HICON icon =
            static_cast<HICON>(::LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        if (icon) ::DestroyIcon(icon);
    }
}

TEST_F(ProgramFileTest, VersionStringsAreComplete) {
    const std::wstring path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    const std::pair<const wchar_t*, const char*> rows[] = {
        {L"ProductName", "vexal"},
        {L"ProductVersion", "1.00"},
        {L"FileVersion", "1.00"},
        {L"FileDescription", "vexal wallpaper changer"},
        {L"CompanyName", "The vexal developers"},
        {L"LegalCopyright", "Copyright (C) 2026 The vexal developers"},
        {L"OriginalFilename", "vexal.exe"},
    };
    for (auto [name, expected] : rows) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
            << win32::Narrow(name);
        EXPECT_EQ(win32::Narrow(value), expected) << win32::Narrow(name);
    }
}

TEST_F(ProgramFileTest, StrippedAndImportsOnlySystemDlls) {
    const std::string exe = ReadWholeFile(win32::Narrow(ProgramPath()));
    ASSERT_GT(exe.size(), 0x200u);
    LONG peAt;
    std::memcpy(&peAt, exe.data() + 0x3C, 4);
    IMAGE_NT_HEADERS64 nt;
    ASSERT_LE(peAt + sizeof nt, exe.size());
    std::memcpy(&nt, exe.data() + peAt, sizeof nt);
    ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt.FileHeader.PointerToSymbolTable, 0u) << "a symbol table is left";

    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    const std::size_t sectionsAt =
        peAt + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    ASSERT_LE(sectionsAt + sections.size() * sizeof(IMAGE_SECTION_HEADER), exe.size());
    std::memcpy(sections.data(), exe.data() + sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER));
    for (const auto& s : sections) {
        const std::string name(reinterpret_cast<const char*>(s.Name),
                               strnlen(reinterpret_cast<const char*>(s.Name), 8));
        // Long section names (/4, /19 ...) are how mingw's linker keeps .debug_* sections.
        EXPECT_FALSE(name.rfind(".debug", 0) == 0 || name.rfind("/", 0) == 0) << name;
    }
    auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (const auto& s : sections)
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        return 0;
    };

    const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::size_t at = fileOffset(imports.VirtualAddress);
    ASSERT_NE(at, 0u);
    wchar_t system[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    int count = 0;
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        ASSERT_LE(at + sizeof d, exe.size());
        std::memcpy(&d, exe.data() + at, sizeof d);
        if (d.Name == 0) break;
        const std::string dll = exe.c_str() + fileOffset(d.Name);
        ++count;
        const std::wstring inSystem = std::wstring(system) + L"\\" + win32::Widen(dll);
        EXPECT_NE(::GetFileAttributesW(inSystem.c_str()), INVALID_FILE_ATTRIBUTES)
            << dll << " is not a DLL Windows ships";
    }
    EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace vexal::testing
