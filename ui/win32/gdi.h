// What the Win32 window draws with: UTF-16 text for the W functions, the Tahoma faces of the
// window with bold that is really bold, and the PNG pictures held as the program's resources.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <string_view>

#include "host/win32/wide.h"  // UTF-16 text for the W functions: toWide, fromWide

namespace ui::win32 {

// A text on one line: each line break (CR LF, CR, LF, NEL, U+2028, U+2029) becomes one blank.
std::string oneLine(std::string_view utf8);

enum class Weight { Regular, Bold };

// A font of the window. Some systems carry a "Tahoma Bold" that draws the regular strokes at
// small sizes (Wine's tahomabd.ttf): there a bold font is the regular face drawn twice, one
// pixel apart, which is how GDI itself makes a bold of a face that has none.
struct Font {
    HFONT handle = nullptr;
    bool overstrike = false;
};

class Fonts {
  public:
    Fonts();
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    // Tahoma at a character height in pixels (11 px is 8 point at 96 dots per inch).
    const Font& tahoma(int px, Weight weight);
    // The trigger badge's font: 6 point.
    const Font& badge() { return m_badge; }
    // True when a bold Tahoma of the window had to be drawn as an overstruck regular face.
    bool boldIsOverstruck() const { return m_fakeBold; }

  private:
    struct Entry {
        int px;
        Weight weight;
        Font font;
    };
    std::deque<Entry> m_entries;  // references to its fonts stay valid
    Font m_badge;
    bool m_fakeBold = false;
};

// Draws `text` (UTF-16) in `rect` with DrawTextW's `format`, transparent, clipped to `rect`.
void drawText(HDC dc, std::wstring_view text, const RECT& rect, const Font& font, COLORREF colour,
              UINT format);
// The size DrawTextW gives the text on one line, the overstrike's extra pixel included.
SIZE textSize(HDC dc, std::wstring_view text, const Font& font);

// A picture decoded from the program's PNG resource of that name, kept as a premultiplied
// 32-bit bitmap and drawn with its transparency.
class Picture {
  public:
    explicit Picture(const wchar_t* resourceName);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    bool loaded() const { return m_bitmap != nullptr; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // At its own size with its top-left corner at x, y.
    void draw(HDC dc, int x, int y) const;

  private:
    HBITMAP m_bitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
};

}  // namespace ui::win32
