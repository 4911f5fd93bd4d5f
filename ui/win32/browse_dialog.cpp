// The common item dialog (IFileOpenDialog), for a file with the kinds an entry can read, or
// with the folder option for a folder.
#include "ui/win32/browse_dialog.h"

// clang-format off
#include <objbase.h>
#include <shobjidl.h>
// clang-format on

#include <array>
#include <vector>

#include "platform/win32/com_interface.h"
#include "platform/win32/utf16.h"

namespace vexal::win32 {
namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The kinds of file an entry reads: pictures, the pages and lists it takes links from, and
// anything else for a list under another name.
struct FileKind {
    const char* japanese;
    const char* english;
    const wchar_t* patterns;
};
constexpr std::array<FileKind, 3> kFileKinds = {{
    {"画像ファイル (*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.webp;*.avif;*.heic;*.heif;*.jxl)",
     "Pictures (*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.webp;*.avif;*.heic;*.heif;*.jxl)",
     L"*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.webp;*.avif;*.heic;*.heif;*.jxl"},
    {"ページ・リスト (*.htm;*.html;*.txt)", "Pages and lists (*.htm;*.html;*.txt)", L"*.htm;*.html;*.txt"},
    {"すべてのファイル (*.*)", "All files (*.*)", L"*.*"},
}};

}  // namespace

std::wstring StartFolderOf(const std::wstring& address) {
    if (address.empty() || address.find(L"://") != std::wstring::npos) return {};
    // A relative address counts from the current folder, the settings file's, as a run reads it.
    const DWORD size = ::GetFullPathNameW(address.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    full.resize(::GetFullPathNameW(address.c_str(), size, full.data(), nullptr));
    if (IsFolder(full)) return full;
    const std::size_t separator = full.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return {};
    full.resize(separator + 1);
    return IsFolder(full) ? full : std::wstring();
}

std::wstring Browse(HWND owner, BrowseFor what, const std::wstring& address, Language language) {
    const ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Com<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  reinterpret_cast<void**>(dialog.Out()))))
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
    if (what == BrowseFor::Folder) {
        options |= FOS_PICKFOLDERS;
    } else {
        options |= FOS_FILEMUSTEXIST;
        std::vector<std::wstring> names;
        std::vector<COMDLG_FILTERSPEC> filters;
        for (const FileKind& kind : kFileKinds)
            names.push_back(Widen(language == Language::English ? kind.english : kind.japanese));
        for (std::size_t i = 0; i < kFileKinds.size(); ++i)
            filters.push_back({names[i].c_str(), kFileKinds[i].patterns});
        dialog->SetFileTypes(static_cast<UINT>(filters.size()), filters.data());
    }
    dialog->SetOptions(options);
    const std::wstring start = StartFolderOf(address);
    if (!start.empty()) {
        Com<IShellItem> folder;
        if (SUCCEEDED(::SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem,
                                                    reinterpret_cast<void**>(folder.Out()))))
            dialog->SetFolder(folder.get());
    }
    if (dialog->Show(owner) != S_OK) return {};
    Com<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.Out()))) return {};
    PWSTR path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return {};
    std::wstring result(path);
    ::CoTaskMemFree(path);
    if (what == BrowseFor::Folder && !result.empty() && result.back() != L'\\') result += L'\\';
    return result;
}

}  // namespace vexal::win32
