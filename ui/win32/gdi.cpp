#include "ui/win32/gdi.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "core/png_image.h"

namespace ui::win32 {

std::string oneLine(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::string_view rest = s.substr(i);
        if (rest.starts_with("\r\n")) {
            out += ' ';
            ++i;
        } else if (s[i] == '\r' || s[i] == '\n') {
            out += ' ';
        } else if (rest.starts_with("\xC2\x85")) {  // NEL
            out += ' ';
            ++i;
        } else if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) {
            out += ' ';  // line and paragraph separators
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

namespace {

HFONT createTahoma(int px, int weight) {
    return CreateFontW(-px, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

constexpr wchar_t kSample[] = L"Percorso aeA/ Aggiornamento";

// The ink of a sample text drawn black on white: the sum of every pixel's darkness.
long long inkOf(HFONT font) {
    constexpr int kWidth = 512, kHeight = 64;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        DeleteDC(dc);
        return 0;
    }
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = SelectObject(dc, font);
    RECT all{0, 0, kWidth, kHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 4, 4, kSample, static_cast<int>(std::size(kSample) - 1));
    GdiFlush();
    long long ink = 0;
    const auto* p = static_cast<const std::uint8_t*>(bits);
    for (int i = 0; i < kWidth * kHeight; ++i) ink += 255 - p[i * 4 + 1];  // the green channel
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

// At this size the bold face draws no heavier than the regular one. Wine's tahomabd.ttf does
// so at the window's small sizes, where its glyphs keep the regular strokes and only get the
// bold advances; a true bold carries a good fifth more ink at every size.
bool boldFaceIsRegular(int px) {
    HFONT regular = createTahoma(px, FW_NORMAL);
    HFONT bold = createTahoma(px, FW_BOLD);
    const long long regularInk = inkOf(regular);
    const long long boldInk = inkOf(bold);
    DeleteObject(regular);
    DeleteObject(bold);
    return regularInk > 0 && boldInk * 100 < regularInk * 115;
}

}  // namespace

Fonts::Fonts() {
    HDC screen = GetDC(nullptr);
    const int badgePx = MulDiv(6, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    m_badge.handle = createTahoma(badgePx, FW_NORMAL);
}

Fonts::~Fonts() {
    for (const Entry& e : m_entries) DeleteObject(e.font.handle);
    DeleteObject(m_badge.handle);
}

const Font& Fonts::tahoma(int px, Weight weight) {
    for (const Entry& e : m_entries)
        if (e.px == px && e.weight == weight) return e.font;
    Entry& e = m_entries.emplace_back();
    const bool bold = weight == Weight::Bold;
    e.px = px;
    e.weight = weight;
    const bool fake = bold && boldFaceIsRegular(px);
    if (fake) m_fakeBold = true;
    e.font.overstrike = fake;
    e.font.handle = createTahoma(px, bold && !fake ? FW_BOLD : FW_NORMAL);
    return e.font;
}

void drawText(HDC dc, std::wstring_view text, const RECT& rect, const Font& font, COLORREF colour,
              UINT format) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, font.handle);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    RECT r = rect;
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
    if (font.overstrike) {
        OffsetRect(&r, 1, 0);
        DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
    }
    RestoreDC(dc, saved);
}

SIZE textSize(HDC dc, std::wstring_view text, const Font& font) {
    const HGDIOBJ old = SelectObject(dc, font.handle);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    return SIZE{r.right - r.left + (font.overstrike ? 1 : 0), r.bottom - r.top};
}

Picture::Picture(const wchar_t* resourceName) {
    HRSRC found = FindResourceW(nullptr, resourceName, RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return;
    const auto png = core::decodePng({static_cast<const std::byte*>(bytes),
                                      static_cast<std::size_t>(SizeofResource(nullptr, found))});
    if (!png) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(png->width);
    info.bmiHeader.biHeight = -static_cast<LONG>(png->height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!m_bitmap) return;
    m_width = static_cast<int>(png->width);
    m_height = static_cast<int>(png->height);
    // AlphaBlend takes blue, green, red, alpha with the colours premultiplied by alpha.
    auto* out = static_cast<std::uint8_t*>(bits);
    const std::vector<std::uint8_t>& in = png->rgba;
    for (std::size_t i = 0; i < in.size(); i += 4) {
        const unsigned a = in[i + 3];
        out[i + 0] = static_cast<std::uint8_t>((in[i + 2] * a + 127) / 255);
        out[i + 1] = static_cast<std::uint8_t>((in[i + 1] * a + 127) / 255);
        out[i + 2] = static_cast<std::uint8_t>((in[i + 0] * a + 127) / 255);
        out[i + 3] = static_cast<std::uint8_t>(a);
    }
}

Picture::~Picture() {
    if (m_bitmap) DeleteObject(m_bitmap);
}

void Picture::draw(HDC dc, int x, int y) const {
    if (!m_bitmap) return;
    HDC source = CreateCompatibleDC(dc);
    const HGDIOBJ old = SelectObject(source, m_bitmap);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, m_width, m_height, source, 0, 0, m_width, m_height, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

}  // namespace ui::win32
