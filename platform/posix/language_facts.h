// What a POSIX system says of the user's language: VEXAL_LANG and the locale variables.
#pragma once

#include "text/language.h"

namespace vexal {

// Reads the environment once, at start-up.
LanguageFacts PosixLanguageFacts();

}  // namespace vexal
