// The captions of the message boxes' and the input box's buttons, where the toolkit does
// not take them from the system, in Japanese (the program's own) and in English.
#pragma once

#include "text/language.h"

namespace vexal {

struct ButtonCaptions {
    const char* yes;
    const char* no;
    const char* retry;
    const char* cancel;
};

inline constexpr ButtonCaptions ButtonCaptionsIn(Language language) {
    return language == Language::English
               ? ButtonCaptions{"&Yes", "&No", "&Retry", "Cancel"}
               : ButtonCaptions{"はい(&Y)", "いいえ(&N)", "再試行(&R)", "キャンセル"};
}

}  // namespace vexal
