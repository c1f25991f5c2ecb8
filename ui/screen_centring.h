// Centres a window on its screen when it is shown. A window manager adds its frame only once
// the window is mapped, so the window is centred again as soon as that frame is known.
#pragma once

class QWidget;

namespace ui {

// Call before the first show. The centring follows the window's frame and size until the window
// is on screen with its frame known, then stops, so that it never moves a window the user placed
// or resized.
void centreOnScreenWhenShown(QWidget& window);

}  // namespace ui
