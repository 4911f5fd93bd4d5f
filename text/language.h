// The language the program speaks to the user in, and how it is chosen from what the
// system says about the user. Japanese is the program's own language and the answer
// whenever the system says nothing clear.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexal {

enum class Language : std::uint8_t { Japanese, English };

// What the platform knows of the user's language, each as the system gives it; nullopt
// where a value is not set (or, for the user interface language, not asked on this
// system).
struct LanguageFacts {
    std::optional<std::string> vexalLang;  // VEXAL_LANG: "ja" or "en" settles it
    // The POSIX locale variables, consulted in this order; the first set and non-empty one
    // names the locale of messages.
    std::optional<std::string> lcAll;
    std::optional<std::string> lcMessages;
    std::optional<std::string> lang;
    // Windows: whether the user's interface language is Japanese. Where it is known, the
    // locale variables play no part (under Wine they are the Unix side's, not the user's).
    std::optional<bool> interfaceJapanese;
};

[[nodiscard]] Language ChooseLanguage(const LanguageFacts& facts);

}  // namespace vexal
