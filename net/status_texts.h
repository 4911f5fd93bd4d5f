// The texts a failed transfer shows the user: one for each error number a socket reports
// (Winsock numbering on every platform) and one for each rejected HTTP status code.
#pragma once

#include <cstdint>
#include <string>

#include "text/language.h"

namespace vexal {

// The text for a socket error number in `language`; a fixed "unknown error" text for
// unlisted numbers.
std::string SocketErrorText(Language language, std::int16_t number);

// The code in decimal, one space, and its reason phrase ("" for unlisted codes, so the
// text then ends in the space).
std::string HttpStatusText(std::int16_t code);

}  // namespace vexal
