// Whether the program can show windows: the front end chooses between the window and the
// console with it.
#pragma once

namespace host {

// True when a desktop to draw on is at hand: on POSIX a display server is named (DISPLAY or
// WAYLAND_DISPLAY), on Windows the process's window station is the visible, interactive one.
bool haveDesktop();

}  // namespace host
