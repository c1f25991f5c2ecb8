#include "ui/win32/company_grid.h"

#include <commctrl.h>

#include <algorithm>

#include "core/text.h"

namespace ui::win32 {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// Display sizes of the fields, in characters.
constexpr int kVersChars = 10;
constexpr int kVidChars = 20;
constexpr int kNameWidth = 262;
constexpr int kStatusWidth = 16;
// Rows hold the 16-pixel pictures with a pixel to spare above the grid line; a list view takes
// its row height from its small image list, so it gets an empty one of that height.
constexpr int kRowHeight = 18;
// The list view draws each column's grid line on the column's last pixel: every column is one
// pixel wider than its content, so the status column shows all 16 pixels of its picture.
constexpr int kGridLine = 1;

int textWidth(HDC dc, const wchar_t* text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    return size.cx;
}

void addColumn(HWND list, int index, const wchar_t* title, int format, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
}

void setCellText(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = host::win32::toWide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

BadgeRects badgeRects(const RECT& cell) {
    return {RECT{cell.right - 26, cell.top + 2, cell.right - 2, cell.top + 14},
            RECT{cell.right - 21, cell.top + 3, cell.right + 3, cell.top + 15}};
}

CompanyGrid::CompanyGrid(HWND parent, int id, const RECT& bounds, Fonts& fonts, const Picture& ok,
                         const Picture& alert)
    : m_fonts(fonts), m_ok(ok), m_alert(alert) {
    // Read-only (no label editing), no border, column titles that do not sort, widths the user
    // may change, lines between columns and rows.
    m_list = CreateWindowExW(
        0, WC_LISTVIEWW, L"Grid",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
            LVS_NOSORTHEADER,
        bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    const Font& font = m_fonts.tahoma(11, Weight::Regular);
    SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(font.handle), TRUE);
    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER,
                 LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    m_rowHeight = ImageList_Create(1, kRowHeight, ILC_COLOR32, 0, 0);
    SendMessageW(m_list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_rowHeight));

    // A field of N characters is N times the width of "0" plus 4, at least its title plus 4.
    HDC dc = GetDC(m_list);
    const HGDIOBJ old = SelectObject(dc, font.handle);
    const int zero = textWidth(dc, L"0");
    // The title row keeps a margin of three edges on each side of a title: a column at least
    // that wide shows its title whole instead of "VERSIO...".
    const int titleMargins = 2 * 3 * GetSystemMetrics(SM_CXEDGE);
    auto fieldWidth = [&](int chars, const wchar_t* title) {
        return std::max(chars * zero + 4, textWidth(dc, title) + std::max(4, titleMargins));
    };
    addColumn(m_list, kColName, L"NOME AZIENDA", LVCFMT_LEFT, kNameWidth + kGridLine);
    addColumn(m_list, kColVers, L"VERSIONE", LVCFMT_CENTER,
              fieldWidth(kVersChars, L"VERSIONE") + kGridLine);
    addColumn(m_list, kColVid, L"VID", LVCFMT_CENTER, fieldWidth(kVidChars, L"VID") + kGridLine);
    addColumn(m_list, kColStatus, L"", LVCFMT_LEFT, kStatusWidth + kGridLine);
    SelectObject(dc, old);
    ReleaseDC(m_list, dc);
}

void CompanyGrid::reset(const app::CompanyTable& table, const std::string& latestVid) {
    m_active = table.Active();
    m_rows = table.Rows();
    m_latestVid = latestVid;
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        std::wstring name = host::win32::toWide(m_rows[i].DTNAME);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.iImage = I_IMAGENONE;
        item.pszText = name.data();
        const auto row = static_cast<int>(
            SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        setCellText(m_list, row, kColVers, m_rows[i].DTVERS);
        setCellText(m_list, row, kColVid, m_rows[i].DTVID);
    }
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
}

RECT CompanyGrid::cellRect(int row, int column) const {
    RECT r{};
    r.top = column;
    r.left = LVIR_BOUNDS;
    SendMessageW(m_list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&r));
    // For the first column the list gives the whole row.
    if (column == kColName)
        r.right = r.left + static_cast<int>(SendMessageW(m_list, LVM_GETCOLUMNWIDTH, 0, 0));
    return r;
}

LRESULT CompanyGrid::customDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYPOSTPAINT;
        case CDDS_ITEMPOSTPAINT: {
            const auto row = static_cast<int>(draw.nmcd.dwItemSpec);
            if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return CDRF_DODEFAULT;
            for (int column : {kColVid, kColStatus})
                GridDrawColumnCell(draw.nmcd.hdc, cellRect(row, column), row, column);
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

void CompanyGrid::GridDrawColumnCell(HDC dc, const RECT& cell, int row, int column) {
    if (!m_active) return;
    const app::CompanyRecord& r = m_rows[static_cast<std::size_t>(row)];
    const int saved = SaveDC(dc);
    // Nothing drawn here reaches outside the cell: the badge's text box, moved 5 to the right,
    // would otherwise run over the grid line into the status cell.
    IntersectClipRect(dc, cell.left, cell.top, cell.right, cell.bottom);
    if (column == kColStatus) {
        // Plain code-unit order: a proper prefix sorts first, so "2013" is older than "2013a".
        const bool older = core::VersionBefore(r.DTVID, m_latestVid);
        (older ? m_alert : m_ok).draw(dc, cell.left, cell.top);
    } else if (column == kColVid && (r.DTTRIG || r.DTTRIN)) {
        const COLORREF fill = r.DTTRIG ? kRed : kNavy;
        const BadgeRects b = badgeRects(cell);
        // Outlined with the fill colour, the badge is one solid 24 x 12 box.
        HBRUSH brush = CreateSolidBrush(fill);
        HPEN pen = CreatePen(PS_SOLID, 1, fill);
        SelectObject(dc, brush);
        SelectObject(dc, pen);
        Rectangle(dc, b.box.left, b.box.top, b.box.right, b.box.bottom);
        // "TRI" from the text box's corner, on the fill colour.
        SelectObject(dc, m_fonts.badge().handle);
        SetTextColor(dc, kWhite);
        SetBkColor(dc, fill);
        SetBkMode(dc, OPAQUE);
        SetTextAlign(dc, TA_LEFT | TA_TOP);
        ExtTextOutW(dc, b.text.left, b.text.top, ETO_OPAQUE | ETO_CLIPPED, &b.text, L"TRI", 3,
                    nullptr);
        RestoreDC(dc, saved);
        DeleteObject(brush);
        DeleteObject(pen);
        return;
    }
    RestoreDC(dc, saved);
}

}  // namespace ui::win32
