// The user's language as Windows names it: the language of the user's interface (menus,
// dialogs), which is what the user reads, rather than the regional format.
#include "platform/win32/language_facts.h"

#include <cstdlib>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_api.h"

namespace vexal::win32 {

LanguageFacts UserLanguageFacts() {
    LanguageFacts facts;
    if (const wchar_t* value = _wgetenv(L"VEXAL_LANG")) facts.vexalLang = Narrow(value);
    facts.interfaceJapanese = PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE;
    return facts;
}

}  // namespace vexal::win32
