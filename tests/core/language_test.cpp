// The choice of the user's language from what the system says.
#include "text/language.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vexal {
namespace {

using Value = std::optional<std::string>;
constexpr auto ja = Language::Japanese;
constexpr auto en = Language::English;

TEST(LanguageTest, ChoiceFromTheEnvironmentAndTheSystem) {
    const std::nullopt_t unset = std::nullopt;
    struct Row {
        const char* name;
        Value vexalLang, lcAll, lcMessages, lang;
        std::optional<bool> interfaceJapanese;
        Language expected;
    } rows[] = {
        // Nothing said, or the locales nobody chose: the program's own language.
        {"nothing set", unset, unset, unset, unset, std::nullopt, ja},
        {"all empty", "", "", "", "", std::nullopt, ja},
        {"C", unset, unset, unset, "C", std::nullopt, ja},
        {"C.UTF-8", unset, unset, unset, "C.UTF-8", std::nullopt, ja},
        {"POSIX", unset, unset, unset, "POSIX", std::nullopt, ja},
        {"Japanese", unset, unset, unset, "ja_JP.UTF-8", std::nullopt, ja},
        {"Japanese, EUC", unset, unset, unset, "ja_JP.eucJP", std::nullopt, ja},
        {"Japanese, language alone", unset, unset, unset, "ja", std::nullopt, ja},
        // Any other language: English.
        {"English", unset, unset, unset, "en_US.UTF-8", std::nullopt, en},
        {"German", unset, unset, unset, "de_DE", std::nullopt, en},
        {"French, language alone", unset, unset, unset, "fr", std::nullopt, en},
        {"with a modifier", unset, unset, unset, "sr_RS@latin", std::nullopt, en},
        // POSIX precedence: LC_ALL over LC_MESSAGES over LANG; an empty one is not set.
        {"LC_ALL over LANG", unset, "en_GB.UTF-8", unset, "ja_JP.UTF-8", std::nullopt, en},
        {"LC_ALL=C over LANG", unset, "C", unset, "en_US.UTF-8", std::nullopt, ja},
        {"LC_MESSAGES over LANG", unset, unset, "ja_JP.UTF-8", "en_US.UTF-8", std::nullopt, ja},
        {"LC_ALL over LC_MESSAGES", unset, "de_DE.UTF-8", "ja_JP.UTF-8", unset, std::nullopt, en},
        {"empty LC_ALL passes on", unset, "", "en_US.UTF-8", "ja_JP.UTF-8", std::nullopt, en},
        // VEXAL_LANG settles it, whatever else is said; a value it does not know does not.
        {"VEXAL_LANG=en over Japanese", "en", unset, unset, "ja_JP.UTF-8", std::nullopt, en},
        {"VEXAL_LANG=en under C", "en", "C", unset, unset, std::nullopt, en},
        {"VEXAL_LANG=ja over English", "ja", "en_US.UTF-8", unset, unset, std::nullopt, ja},
        {"VEXAL_LANG letter case", "EN", unset, unset, unset, std::nullopt, en},
        {"VEXAL_LANG unknown", "xx", unset, unset, "en_US.UTF-8", std::nullopt, en},
        {"VEXAL_LANG empty", "", unset, unset, "de_DE", std::nullopt, en},
        // Windows: the interface language, the locale variables playing no part.
        {"Windows, Japanese", unset, unset, unset, unset, true, ja},
        {"Windows, other", unset, unset, unset, unset, false, en},
        {"Windows, other, Unix LANG", unset, unset, unset, "ja_JP.UTF-8", false, en},
        {"Windows, VEXAL_LANG=ja", "ja", unset, unset, unset, false, ja},
        {"Windows, VEXAL_LANG=en", "en", unset, unset, unset, true, en},
    };
    for (const Row& row : rows) {
        LanguageFacts facts;
        facts.vexalLang = row.vexalLang;
        facts.lcAll = row.lcAll;
        facts.lcMessages = row.lcMessages;
        facts.lang = row.lang;
        facts.interfaceJapanese = row.interfaceJapanese;
        EXPECT_EQ(ChooseLanguage(facts), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace vexal
