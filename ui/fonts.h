// The window's typeface: Tahoma when the system has it, otherwise the Tahoma-compatible regular
// face that Debian's fonts-wine installs, loaded into the application's font database.
#pragma once

#include <QFont>
#include <QString>

namespace ui {

inline constexpr const char* kTahoma = "Tahoma";
inline constexpr const char* kWineFontDir = "/usr/share/wine/fonts/";

// Makes "Tahoma" available to the application (needs a QGuiApplication); true when it is.
bool ensureTahoma();

// Tahoma at a pixel height (11 px is 8 point at 96 dpi), regular or bold. Bold is the family's
// bold face when its outlines really are bold, otherwise the regular face emboldened by Qt.
enum class Weight { Regular, Bold };
QFont tahoma(int pixelHeight, Weight weight = Weight::Regular);

}  // namespace ui
