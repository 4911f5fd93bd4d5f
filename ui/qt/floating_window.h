// Keeping a sizable window afloat on compositors that tile every window but those with a
// parent or a fixed size.
#pragma once

class QWidget;

namespace vexal {

// Call before each show of a top-level window that has no visible parent. On Wayland,
// sway decides once, when the window first appears, whether it floats, and it floats
// windows whose size cannot change: the window appears with its size held, and gets its
// own limits back once it is on the screen, so the user can still resize it. Elsewhere
// (X11 window managers float dialog windows by their type) it does nothing.
void HoldSizeWhileAppearing(QWidget* window);

// The hold itself, on any platform: the window's size is fixed until its first frame after
// the next show has been painted, then its own limits come back.
void HoldSizeUntilPainted(QWidget* window);

}  // namespace vexal
