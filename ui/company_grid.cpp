#include "ui/company_grid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>
#include <algorithm>

#include "core/text.h"
#include "ui/fonts.h"

namespace ui {
namespace {

const QColor kRed(255, 0, 0);
const QColor kNavy(0, 0, 128);

// Display sizes of the fields, in characters.
constexpr int kVersChars = 10;
constexpr int kVidChars = 20;
constexpr int kNameWidth = 262;
constexpr int kStatusWidth = 16;
constexpr int kRowHeight = 18;

QString fromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

void CompanyModel::reset(const app::CompanyTable& table, const std::string& latestVid) {
    beginResetModel();
    m_active = table.Active();
    m_rows = table.Rows();
    m_states.assign(m_rows.size(), {});
    m_latestVid = latestVid;
    endResetModel();
}

void CompanyModel::setRunState(int row, app::CompanyState state, const std::string& text) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_states.size()) return;
    m_states[static_cast<std::size_t>(row)] = {state, fromUtf8(text)};
    emit dataChanged(index(row, 0), index(row, kGridColumns - 1),
                     {Qt::BackgroundRole, Qt::ToolTipRole});
}

namespace {

// A row's tint while phase 3 runs: none before its turn, pale yellow while its scripts run,
// pale green, red or grey once it is done.
QVariant tintOf(app::CompanyState state) {
    switch (state) {
        case app::CompanyState::Listed:
            return {};
        case app::CompanyState::Running:
            return QColor(255, 244, 196);
        case app::CompanyState::Updated:
        case app::CompanyState::Duplicate:
            return QColor(214, 240, 214);
        case app::CompanyState::Failed:
            return QColor(248, 208, 208);
        case app::CompanyState::Skipped:
            return QColor(224, 224, 224);
    }
    return {};
}

}  // namespace

int CompanyModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CompanyModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumns;
}

QVariant CompanyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const app::CompanyRecord& r = record(index.row());
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == kColName) return fromUtf8(r.DTNAME);
            if (index.column() == kColVers) return fromUtf8(r.DTVERS);
            if (index.column() == kColVid) return fromUtf8(r.DTVID);
            return {};
        case Qt::BackgroundRole:
            return tintOf(m_states[static_cast<std::size_t>(index.row())].state);
        case Qt::ToolTipRole:
            return m_states[static_cast<std::size_t>(index.row())].text;
        case Qt::TextAlignmentRole:
            if (index.column() == kColName) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
            if (index.column() == kColStatus) return {};
            return QVariant(Qt::AlignHCenter | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant CompanyModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
            case kColName:
                return QStringLiteral("NOME AZIENDA");
            case kColVers:
                return QStringLiteral("VERSIONE");
            case kColVid:
                return QStringLiteral("VID");
            default:
                return QString();
        }
    }
    if (role == Qt::TextAlignmentRole)
        return section == kColName ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                   : QVariant(Qt::AlignCenter);
    return {};
}

CompanyDelegate::CompanyDelegate(const CompanyModel& model, QPixmap ok, QPixmap alert,
                                 QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_ok(std::move(ok)), m_alert(std::move(alert)) {}

void CompanyDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    GridDrawColumnCell(painter, option.rect, index.row(), index.column());
    painter->restore();
}

BadgeRects badgeRects(const QRect& cell) {
    const int right = cell.x() + cell.width();  // exclusive, as the grid's cell rectangles are
    const int top = cell.y();
    return {right - 26, top + 2, right - 2, top + 14, right - 21, top + 3, right + 3, top + 15};
}

void CompanyDelegate::GridDrawColumnCell(QPainter* painter, const QRect& cell, int row,
                                         int column) const {
    if (!m_model.active()) return;
    // Nothing drawn here reaches outside the cell: the badge's text box, moved 5 to the right,
    // would otherwise run over the grid line into the status cell, whose icon is transparent.
    painter->setClipRect(cell);
    const app::CompanyRecord& r = m_model.record(row);
    if (column == kColStatus) {
        // Plain code-unit order: a proper prefix sorts first, so "2013" is older than "2013a".
        const bool older = core::VersionBefore(r.DTVID, m_model.latestVid());
        painter->drawPixmap(cell.topLeft(), older ? m_alert : m_ok);
        return;
    }
    if (column != kColVid || !(r.DTTRIG || r.DTTRIN)) return;
    const QColor fill = r.DTTRIG ? kRed : kNavy;
    const BadgeRects b = badgeRects(cell);
    // The outline uses the fill colour, so the badge is one solid 24 x 12 box.
    painter->fillRect(QRect(QPoint(b.left, b.top), QPoint(b.right - 1, b.bottom - 1)), fill);
    // The text box is filled too (opaque text on the fill colour), then "TRI" from its corner;
    // the part of it beyond the cell's right edge is clipped.
    const QRect textBox(QPoint(b.textLeft, b.textTop), QPoint(b.textRight - 1, b.textBottom - 1));
    painter->fillRect(textBox, fill);
    QFont font = painter->font();
    font.setPointSize(6);
    font.setBold(false);
    painter->setFont(font);
    painter->setPen(Qt::white);
    painter->drawText(textBox, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("TRI"));
}

void setupGrid(QTableView& grid, CompanyModel& model) {
    grid.setModel(&model);
    grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid.setTabKeyNavigation(true);
    grid.setSelectionBehavior(QAbstractItemView::SelectItems);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setFrameShape(QFrame::NoFrame);
    grid.setShowGrid(true);
    grid.setWordWrap(false);
    grid.verticalHeader()->hide();
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* header = grid.horizontalHeader();
    header->setFont(tahoma(11));
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(kStatusWidth);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);

    const QFontMetrics cells(grid.font());
    const QFontMetrics titles(header->font());
    auto fieldWidth = [&](int chars, const char* title) {
        return std::max(chars * cells.horizontalAdvance(QLatin1Char('0')) + 4,
                        titles.horizontalAdvance(QLatin1String(title)) + 4);
    };
    // The widths are the cells' content; a section also holds the grid line at its right, so the
    // status column keeps all 16 pixels of its icon.
    const int line = grid.showGrid() ? 1 : 0;
    grid.setColumnWidth(kColName, kNameWidth + line);
    grid.setColumnWidth(kColVers, fieldWidth(kVersChars, "VERSIONE") + line);
    grid.setColumnWidth(kColVid, fieldWidth(kVidChars, "VID") + line);
    grid.setColumnWidth(kColStatus, kStatusWidth + line);
}

}  // namespace ui
