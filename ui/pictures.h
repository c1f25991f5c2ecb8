// The window's four pictures, drawn for this program (ui/pictures/make_pictures.py) and built
// into the library as Qt resources.
#pragma once

#include <QPixmap>

namespace ui {

inline constexpr const char* kPictureOk = ":/pictures/ok.png";          // green check, 16x16
inline constexpr const char* kPictureAlert = ":/pictures/alert.png";    // warning triangle, 16x16
inline constexpr const char* kPictureUpdate = ":/pictures/update.png";  // globe and arrows, 128x128
inline constexpr const char* kPictureLogo = ":/pictures/logo.png";      // maker's logo, 112x30

// The picture at a resource path; a null pixmap when it is missing or unreadable.
QPixmap loadPicture(const char* path);

}  // namespace ui
