// What Windows says of the user's language: VEXAL_LANG and the user's interface language.
#pragma once

#include "text/language.h"

namespace vexal::win32 {

// Reads the environment and the system once, at start-up.
LanguageFacts UserLanguageFacts();

}  // namespace vexal::win32
