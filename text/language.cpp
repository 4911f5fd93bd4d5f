// The choice of the user's language.
#include "text/language.h"

#include <string_view>

#include "text/case.h"

namespace vexal {
namespace {

// A locale name ("ja_JP.UTF-8", "en_GB", "C.UTF-8", "POSIX") -> the language it asks for.
// The C and POSIX locales are what a system has when nobody chose a language (a service, a
// bare container, a cron job): the program's own language then.
Language FromLocale(std::string_view name) {
    const std::string_view base = name.substr(0, name.find_first_of(".@"));
    if (base == "C" || base == "POSIX" || StartsWithAsciiNoCase(base, "ja")) return Language::Japanese;
    return Language::English;
}

}  // namespace

Language ChooseLanguage(const LanguageFacts& facts) {
    if (facts.vexalLang) {
        if (StartsWithAsciiNoCase(*facts.vexalLang, "ja")) return Language::Japanese;
        if (StartsWithAsciiNoCase(*facts.vexalLang, "en")) return Language::English;
        // Anything else is no choice: the system's then.
    }
    if (facts.interfaceJapanese) return *facts.interfaceJapanese ? Language::Japanese : Language::English;
    for (const auto* value : {&facts.lcAll, &facts.lcMessages, &facts.lang})
        if (*value && !(*value)->empty()) return FromLocale(**value);
    return Language::Japanese;
}

}  // namespace vexal
