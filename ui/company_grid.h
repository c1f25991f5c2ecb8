// The company grid: a read-only table model over a copy of TabMem and the delegate that draws
// the status picture and the trigger badge on top of the normal cell painting.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <string>
#include <vector>

#include "app/company_table.h"
#include "app/run_outcome.h"

class QTableView;

namespace ui {

enum GridColumn { kColName = 0, kColVers = 1, kColVid = 2, kColStatus = 3, kGridColumns = 4 };

class CompanyModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // Takes the table's rows and open state and the latest version they are drawn against.
    void reset(const app::CompanyTable& table, const std::string& latestVid);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Phase 3's state of a row: the row is tinted by it and its tooltip says it in words.
    void setRunState(int row, app::CompanyState state, const std::string& text);

    bool active() const { return m_active; }
    const std::string& latestVid() const { return m_latestVid; }
    const app::CompanyRecord& record(int row) const {
        return m_rows.at(static_cast<std::size_t>(row));
    }

  private:
    std::vector<app::CompanyRecord> m_rows;
    struct RunState {
        app::CompanyState state = app::CompanyState::Listed;
        QString text;
    };
    std::vector<RunState> m_states;  // one per row
    std::string m_latestVid;
    bool m_active = false;
};

// GridDrawColumnCell: runs after the default painting of each cell.
class CompanyDelegate : public QStyledItemDelegate {
  public:
    CompanyDelegate(const CompanyModel& model, QPixmap ok, QPixmap alert, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    void GridDrawColumnCell(QPainter* painter, const QRect& cell, int row, int column) const;

    const CompanyModel& m_model;
    QPixmap m_ok;
    QPixmap m_alert;
};

// The badge's rectangles for a cell: the filled box and the text box moved 5 right, 1 down.
// Rectangles follow the grid's convention of an exclusive right and bottom edge.
struct BadgeRects {
    int left, top, right, bottom;  // filled: right - 26 .. right - 2, top + 2 .. top + 14
    int textLeft, textTop, textRight, textBottom;
};
BadgeRects badgeRects(const QRect& cell);

// Column widths, as the cells' content (the grid line comes on top): "NOME AZIENDA" 262; a field
// of N characters gets N times the width of "0" plus 4, at least its title's width plus 4; the
// status column 16.
void setupGrid(QTableView& grid, CompanyModel& model);

}  // namespace ui
