// Japanese text in the windows: kanji drawn in their Japanese forms whatever the locale.
#pragma once

namespace vexal {

// Adds an installed Japanese font behind the application font, so characters the
// application font lacks come from it rather than from whichever CJK font the system
// would pick (often a Chinese one, whose kanji differ in shape).
void PreferJapaneseFont();

}  // namespace vexal
