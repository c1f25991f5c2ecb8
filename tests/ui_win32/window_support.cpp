#include "tests/ui_win32/window_support.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace w32test {

int Shot::count(const RECT& r, const std::function<bool(std::uint32_t)>& pick) const {
    int n = 0;
    for (int y = std::max(0, static_cast<int>(r.top));
         y < std::min(height, static_cast<int>(r.bottom)); ++y)
        for (int x = std::max(0, static_cast<int>(r.left));
             x < std::min(width, static_cast<int>(r.right)); ++x)
            if (pick(at(x, y))) ++n;
    return n;
}

RECT Shot::bounds(const RECT& r, const std::function<bool(std::uint32_t)>& pick) const {
    RECT b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = std::max(0, static_cast<int>(r.top));
         y < std::min(height, static_cast<int>(r.bottom)); ++y)
        for (int x = std::max(0, static_cast<int>(r.left));
             x < std::min(width, static_cast<int>(r.right)); ++x)
            if (pick(at(x, y))) {
                b.left = std::min(b.left, static_cast<LONG>(x));
                b.top = std::min(b.top, static_cast<LONG>(y));
                b.right = std::max(b.right, static_cast<LONG>(x + 1));
                b.bottom = std::max(b.bottom, static_cast<LONG>(y + 1));
            }
    if (b.left == INT_MAX) return RECT{0, 0, 0, 0};
    return b;
}

namespace {

void putU32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void putChunk(std::string& out, const char* type, const std::string& body) {
    putU32(out, static_cast<std::uint32_t>(body.size()));
    const std::string typed = std::string(type, 4) + body;
    out += typed;
    putU32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                 static_cast<uInt>(typed.size()))));
}

}  // namespace

bool Shot::savePng(const std::string& path) const {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter type 0
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = at(x, y);
            raw += static_cast<char>(red(p));
            raw += static_cast<char>(green(p));
            raw += static_cast<char>(blue(p));
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  9) != Z_OK)
        return false;
    packed.resize(size);
    std::string header;
    putU32(header, static_cast<std::uint32_t>(width));
    putU32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
    std::string file("\x89PNG\r\n\x1A\n", 8);
    putChunk(file, "IHDR", header);
    putChunk(file, "IDAT", packed);
    putChunk(file, "IEND", "");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

bool isGreenish(std::uint32_t p) {
    return green(p) >= 90 && green(p) > red(p) + 50 && green(p) > blue(p) + 50;
}
bool isYellowish(std::uint32_t p) {
    return red(p) >= 180 && green(p) >= 140 && blue(p) < 90;
}
bool isRed(std::uint32_t p) {
    return red(p) >= 200 && green(p) < 60 && blue(p) < 60;
}
bool isNavy(std::uint32_t p) {
    return red(p) < 40 && green(p) < 40 && blue(p) >= 90 && blue(p) < 170;
}
bool isInk(std::uint32_t p) {
    return red(p) + green(p) + blue(p) < 3 * 160;
}
bool isDrawn(std::uint32_t p) {
    return red(p) + green(p) + blue(p) < 3 * 235;
}

void pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

Shot grab(ui::win32::UpdaterWindow& window) {
    HWND hwnd = window.handle();
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    GdiFlush();
    // The display server shows what was painted once the window surface has been flushed.
    pump(150);

    RECT client{};
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    Shot shot;
    shot.width = client.right;
    shot.height = client.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    shot.pixels.assign(
        p, p + static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height));
    for (std::uint32_t& px : shot.pixels) px &= 0x00FFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    // QL_GRAB_DIR keeps every grab, to look at what a test saw.
    static int grabs = 0;
    if (const char* dir = std::getenv("QL_GRAB_DIR"))
        shot.savePng(std::string(dir) + "/grab-" + std::to_string(++grabs) + ".png");
    return shot;
}

RECT rectIn(HWND window, HWND child, RECT r) {
    MapWindowPoints(child, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT clientRectIn(HWND window, HWND child) {
    RECT r{};
    GetClientRect(child, &r);
    return rectIn(window, child, r);
}

RECT graphicRect(const ui::win32::UpdaterWindow& window, const std::string& name) {
    const ui::win32::Graphic* g = window.graphic(name);
    if (!g) return RECT{0, 0, 0, 0};
    return rectIn(window.handle(), window.pageWindow(g->page), g->rect);
}

namespace {

struct Pending {
    ui::win32::UpdaterWindow* window = nullptr;
    std::function<void(HWND)> onDialog;
    std::function<void()> onTime;
    DWORD deadline = 0;
    UINT_PTR timer = 0;
};

std::vector<std::unique_ptr<Pending>>& pendings() {
    static std::vector<std::unique_ptr<Pending>> all;
    return all;
}

void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto& all = pendings();
    for (std::size_t i = 0; i < all.size(); ++i) {
        Pending& p = *all[i];
        if (p.timer != id) continue;
        const bool late = static_cast<int>(GetTickCount() - p.deadline) >= 0;
        if (p.onTime) {
            if (!late) return;
        } else if (!p.window->openDialog() && !late) {
            return;
        }
        KillTimer(nullptr, id);
        std::unique_ptr<Pending> mine = std::move(all[i]);
        all.erase(all.begin() + static_cast<std::ptrdiff_t>(i));
        if (mine->onTime) {
            mine->onTime();
        } else if (HWND dialog = mine->window->openDialog(); dialog && !late) {
            mine->onDialog(dialog);
        } else {
            // Given up: whatever dialog this thread shows is closed, so that no test hangs.
            EnumThreadWindows(
                GetCurrentThreadId(),
                [](HWND hwnd, LPARAM) -> BOOL {
                    wchar_t cls[16] = {};
                    GetClassNameW(hwnd, cls, 16);
                    if (lstrcmpW(cls, L"#32770") == 0) PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
                    return TRUE;
                },
                0);
        }
        return;
    }
}

}  // namespace

void whenDialogOpens(ui::win32::UpdaterWindow& window, std::function<void(HWND)> action,
                     int timeoutMs) {
    auto p = std::make_unique<Pending>();
    p->window = &window;
    p->onDialog = std::move(action);
    p->deadline = GetTickCount() + static_cast<DWORD>(timeoutMs);
    p->timer = SetTimer(nullptr, 0, 30, tick);
    pendings().push_back(std::move(p));
}

void after(int delayMs, std::function<void()> action) {
    auto p = std::make_unique<Pending>();
    p->onTime = std::move(action);
    p->deadline = GetTickCount() + static_cast<DWORD>(delayMs);
    p->timer = SetTimer(nullptr, 0, 10, tick);
    pendings().push_back(std::move(p));
}

void pressKey(HWND dialog, UINT key) {
    HWND target = GetFocus();
    if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

}  // namespace w32test
