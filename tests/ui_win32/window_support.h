// What the Win32 window's tests drive and look at: the window on the (virtual) screen, grabs of
// what the screen shows of it, keys pressed in its dialogs from inside their own message loops.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/win32/updater_window.h"

namespace w32test {

// What the screen shows of a window's client area, 0x00RRGGBB a pixel.
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
    // Pixels inside `r` (clipped to the shot) for which `pick` holds.
    int count(const RECT& r, const std::function<bool(std::uint32_t)>& pick) const;
    // The smallest rectangle holding every pixel of `r` for which `pick` holds (empty if none).
    RECT bounds(const RECT& r, const std::function<bool(std::uint32_t)>& pick) const;
    // Writes the shot as a PNG file (the README's screenshots).
    bool savePng(const std::string& path) const;
};

inline int red(std::uint32_t p) {
    return static_cast<int>((p >> 16) & 0xFF);
}
inline int green(std::uint32_t p) {
    return static_cast<int>((p >> 8) & 0xFF);
}
inline int blue(std::uint32_t p) {
    return static_cast<int>(p & 0xFF);
}
// Colour families of what the window draws.
bool isGreenish(std::uint32_t p);   // the OK check mark, the bars, green texts
bool isYellowish(std::uint32_t p);  // the alert triangle
bool isRed(std::uint32_t p);        // red texts, the server-trigger badge
bool isNavy(std::uint32_t p);       // the client-trigger badge
bool isInk(std::uint32_t p);        // anything clearly darker than the white page
bool isDrawn(std::uint32_t p);      // anything but white, light grey included

// Repaints the window and everything in it, lets the display catch up, grabs the client area.
Shot grab(ui::win32::UpdaterWindow& window);
// `r` of a child control, in the window's client coordinates.
RECT rectIn(HWND window, HWND child, RECT r);
RECT clientRectIn(HWND window, HWND child);
// A windowless control's rectangle in the window's client coordinates.
RECT graphicRect(const ui::win32::UpdaterWindow& window, const std::string& name);

// Once `window` has a dialog open, runs `action` on it from a timer inside the dialog's message
// loop. Gives up after `timeoutMs` (and closes any dialog then open with Cancel).
void whenDialogOpens(ui::win32::UpdaterWindow& window, std::function<void(HWND)> action,
                     int timeoutMs = 20000);
// Runs `action` from a timer after `delayMs`, inside whatever message loop then runs.
void after(int delayMs, std::function<void()> action);
// A key pressed and released in a dialog, as the keyboard sends it to the focused control.
void pressKey(HWND dialog, UINT key);
// Pumps messages for `ms`.
void pump(int ms);

}  // namespace w32test
