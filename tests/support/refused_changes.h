// The changes a desktop that refuses is tried with, on each layer that installs: whatever
// was shown before (one bitmap, or each screen's) and whatever the change (one picture, a
// picture for each screen held per screen or spanned, going back or forward to either), a refused
// change leaves every file as it was.
#pragma once

namespace vexal::testing {

enum class RefusedChange { One, EachScreen, Back, Forward };

struct RefusedChangeRow {
    const char* name;
    bool perScreen;  // the desktop holds a picture for each screen
    RefusedChange change;
};

inline constexpr RefusedChangeRow kRefusedChanges[] = {
    {"onePicture", false, RefusedChange::One},
    {"eachScreenHeldPerScreen", true, RefusedChange::EachScreen},
    {"eachScreenSpanned", false, RefusedChange::EachScreen},
    {"backToOneBitmap", false, RefusedChange::Back},
    {"backToScreens", true, RefusedChange::Back},
    // Forward again after one step back.
    {"forwardToOneBitmap", false, RefusedChange::Forward},
    {"forwardToScreens", true, RefusedChange::Forward},
};

}  // namespace vexal::testing
