// Resource names of the program file that the Win32 window loads (ui/win32/qlupdate.rc): the
// pictures, as the PNG files of ui/pictures.
#pragma once

#define QL_PICTURE_OK L"PICTURE_OK"
#define QL_PICTURE_ALERT L"PICTURE_ALERT"
#define QL_PICTURE_UPDATE L"PICTURE_UPDATE"
#define QL_PICTURE_LOGO L"PICTURE_LOGO"

namespace ui::win32 {

inline constexpr const wchar_t* kPictureOk = QL_PICTURE_OK;
inline constexpr const wchar_t* kPictureAlert = QL_PICTURE_ALERT;
inline constexpr const wchar_t* kPictureUpdate = QL_PICTURE_UPDATE;
inline constexpr const wchar_t* kPictureLogo = QL_PICTURE_LOGO;

}  // namespace ui::win32
