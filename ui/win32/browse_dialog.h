// The system's own dialogs for choosing what the entry editor's address names: a picture,
// page or list file, or a folder of pictures.
#pragma once

#include <string>

#include "platform/win32/win32_api.h"
#include "text/language.h"

namespace vexal::win32 {

enum class BrowseFor { File, Folder };

// Asks the user for a file or a folder, starting in the folder `address` names where it
// names one that exists. Returns the chosen path (a folder ends in "\", so that it reads as
// one), or empty when the user cancelled or no dialog could be shown. The kinds of file
// offered are named in `language`.
std::wstring Browse(HWND owner, BrowseFor what, const std::wstring& address, Language language);

// The folder a browse dialog starts in for `address`: the folder itself, or the folder of
// the file it names; empty for a web address or a place that does not exist.
std::wstring StartFolderOf(const std::wstring& address);

}  // namespace vexal::win32
