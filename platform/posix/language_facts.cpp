// The user's language as the environment names it.
#include "platform/posix/language_facts.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace vexal {
namespace {

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace

LanguageFacts PosixLanguageFacts() {
    LanguageFacts facts;
    facts.vexalLang = Variable("VEXAL_LANG");
    facts.lcAll = Variable("LC_ALL");
    facts.lcMessages = Variable("LC_MESSAGES");
    facts.lang = Variable("LANG");
    return facts;
}

}  // namespace vexal
