// The company grid: a report-view list of the company table's rows (read-only, the table's
// order), with the status picture and the trigger badge drawn on top of each painted row.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>
#include <vector>

#include "app/company_table.h"
#include "ui/win32/gdi.h"

namespace ui::win32 {

enum GridColumn { kColName = 0, kColVers = 1, kColVid = 2, kColStatus = 3, kGridColumns = 4 };

// The badge's rectangles for a cell (exclusive right and bottom edges): the filled box
// right - 26 .. right - 2 by top + 2 .. top + 14, and the box "TRI" is written in, moved 5 right
// and 1 down.
struct BadgeRects {
    RECT box;
    RECT text;
};
BadgeRects badgeRects(const RECT& cell);

class CompanyGrid {
  public:
    // Creates the list view, a child of `parent` at `bounds`, with its four columns.
    CompanyGrid(HWND parent, int id, const RECT& bounds, Fonts& fonts, const Picture& ok,
                const Picture& alert);
    HWND handle() const { return m_list; }

    // Shows the table's rows, drawn against the latest version.
    void reset(const app::CompanyTable& table, const std::string& latestVid);
    // NM_CUSTOMDRAW from the list view: GridDrawColumnCell after each row's own painting.
    LRESULT customDraw(NMLVCUSTOMDRAW& draw);
    // A cell's rectangle in the list's client coordinates.
    RECT cellRect(int row, int column) const;

  private:
    void GridDrawColumnCell(HDC dc, const RECT& cell, int row, int column);

    HWND m_list = nullptr;
    Fonts& m_fonts;
    const Picture& m_ok;
    const Picture& m_alert;
    HIMAGELIST m_rowHeight = nullptr;
    std::vector<app::CompanyRecord> m_rows;
    std::string m_latestVid;
    bool m_active = false;
};

}  // namespace ui::win32
