// Japanese in the windows: kanji drawn in their Japanese forms, and Qt's own texts (the
// context menus of text boxes, for one) in Japanese, whatever the desktop's language.
#pragma once

namespace vexal {

// Adds an installed Japanese font behind the application font, so characters the
// application font lacks come from it rather than from whichever CJK font the system
// would pick (often a Chinese one, whose kanji differ in shape).
void PreferJapaneseFont();

// Loads Qt's Japanese translation of its own texts when it is installed.
void LoadJapaneseQtTexts();

}  // namespace vexal
