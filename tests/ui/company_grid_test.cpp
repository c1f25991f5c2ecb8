// The company grid's custom drawing, read back from the pixels of the painted grid.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableView>
#include <QTest>
#include <string>

#include "app/company_table.h"
#include "ui/company_grid.h"
#include "ui/pictures.h"
#include "ui/updater_window.h"
#include "ui_test_util.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kNavy(0, 0, 128);

struct GridFixture : ::testing::Test {
    ui::UpdaterWindow window;
    app::CompanyTable table;
    QTableView* grid = uitest::control<QTableView>(window, "Grid");

    void SetUp() override {
        ASSERT_NE(grid, nullptr);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void show(const std::string& latestVid) {
        window.companiesChanged(table, latestVid);
        QApplication::processEvents();
    }
    QImage shot() const { return grid->viewport()->grab().toImage(); }
    QRect cell(int row, int column) const {
        return grid->visualRect(grid->model()->index(row, column));
    }
    static app::CompanyRecord company(std::string vid, bool trig = false, bool trin = false) {
        app::CompanyRecord r;
        r.DTNAME = "Ditta " + vid;
        r.DTDATA = "OSF00101";
        r.DTVERS = "5.1";
        r.DTVID = std::move(vid);
        r.DTTRIG = trig;
        r.DTTRIN = trin;
        return r;
    }
};

// True when `shot` shows the whole of `picture`, every pixel to its last row and column, laid
// over the cell's background with its top-left corner at `at`.
bool drawnAt(const QImage& shot, QPoint at, const QImage& picture) {
    QImage expected(picture.size(), QImage::Format_RGB32);
    expected.fill(shot.pixel(at.x(), at.y() + picture.height()));  // the cell below the picture
    QPainter(&expected).drawImage(0, 0, picture);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (uitest::colourDistance(QColor(shot.pixel(at.x() + x, at.y() + y)),
                                       QColor(expected.pixel(x, y))) > 6)
                return false;
    return true;
}

TEST_F(GridFixture, StatusPictureComparesTheVidWithTheLatestAsPlainText) {
    struct Case {
        const char* vid;
        const char* latest;
        bool alert;
    };
    const Case cases[] = {
        {"2013a", "2013a", false},                            // equal
        {"2013", "2013a", true},                              // a proper prefix sorts first
        {"2012z", "2013", true},   {"2014", "2013a", false},  // after the latest
        {"2013", "", false},  // no latest version: every company is fine
        {"", "2013", true},
    };
    const QImage ok = ui::loadPicture(ui::kPictureOk).toImage();
    const QImage alert = ui::loadPicture(ui::kPictureAlert).toImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vid) + " against " + c.latest);
        table.Open();
        table.Append(company(c.vid));
        show(c.latest);
        const QImage image = shot();
        const QPoint at = cell(0, ui::kColStatus).topLeft();
        EXPECT_EQ(drawnAt(image, at, alert), c.alert);
        EXPECT_EQ(drawnAt(image, at, ok), !c.alert);
    }
}

TEST_F(GridFixture, TriggerBadgeRectangleAndColour) {
    struct Case {
        bool trig, trin;
        QColor fill;  // invalid: no badge
    };
    const Case cases[] = {
        {true, true, kRed}, {true, false, kRed}, {false, true, kNavy}, {false, false, QColor()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "DTTRIG " << c.trig << " DTTRIN " << c.trin);
        table.Open();
        table.Append(company("2013a", c.trig, c.trin));
        show("2013a");
        const QImage image = shot();
        const QRect r = cell(0, ui::kColVid);
        const int right = r.x() + r.width(), top = r.y();
        auto colourAt = [&](int x, int y) { return QColor(image.pixel(x, y)); };
        // Nothing of the badge on the grid line or in the status cell after it.
        for (int y = top; y < top + r.height(); ++y)
            for (int x = right; x < cell(0, ui::kColStatus).right(); ++x) {
                EXPECT_NE(colourAt(x, y), kRed) << x << "," << y;
                EXPECT_NE(colourAt(x, y), kNavy) << x << "," << y;
            }
        if (!c.fill.isValid()) {
            for (int y = top; y < top + 16; ++y)
                for (int x = right - 30; x < right; ++x) {
                    EXPECT_NE(colourAt(x, y), kRed);
                    EXPECT_NE(colourAt(x, y), kNavy);
                }
            continue;
        }
        // The filled box covers right-26 .. right-3 and top+2 .. top+13, nothing to its left or
        // above.
        EXPECT_EQ(colourAt(right - 26, top + 2), c.fill);
        EXPECT_EQ(colourAt(right - 22, top + 13), c.fill);
        EXPECT_EQ(colourAt(right - 3, top + 2), c.fill) << "top right corner";
        EXPECT_EQ(colourAt(right - 1, top + 14), c.fill) << "the text box up to the cell's edge";
        EXPECT_NE(colourAt(right - 27, top + 5), c.fill);
        EXPECT_NE(colourAt(right - 24, top + 1), c.fill);
        EXPECT_NE(colourAt(right - 24, top + 14), c.fill);
        // "TRI" in white inside the text box, moved 5 right and 1 down.
        int white = 0;
        for (int y = top + 3; y < top + 15; ++y)
            for (int x = right - 21; x < right; ++x)
                if (colourAt(x, y).lightness() > 200) ++white;
        EXPECT_GT(white, 5);
        for (int y = top + 2; y < top + 14; ++y)
            for (int x = right - 26; x < right - 21; ++x)
                EXPECT_EQ(colourAt(x, y), c.fill) << x << "," << y;
    }
}

// Phase 3 tints each row by its state (none before its turn) and says why in its tooltip; a
// row's change repaints that row only.
TEST_F(GridFixture, RunStateTintsItsRowAndExplainsItInTheTooltip) {
    struct Case {
        app::CompanyState state;
        QColor tint;  // invalid: the grid's own background
        const char* tooltip;
    };
    const Case cases[] = {
        {app::CompanyState::Listed, QColor(), "non raggiunta"},
        {app::CompanyState::Running, QColor(255, 244, 196), "in corso"},
        {app::CompanyState::Updated, QColor(214, 240, 214), "aggiornata"},
        {app::CompanyState::Duplicate, QColor(214, 240, 214),
         "gi\u00e0 aggiornata con una riga precedente"},
        {app::CompanyState::Failed, QColor(248, 208, 208),
         "2 istruzioni fallite, 1 script non avviati"},
        {app::CompanyState::Skipped, QColor(224, 224, 224), "saltata (Table 'librerie' lost)"},
    };
    table.Open();
    table.Append(company("2013a"));
    table.Append(company("2013b"));
    show("2014a");
    // A point of the version cell away from its centred text, in each row.
    auto background = [&](int row) {
        const QRect r = cell(row, ui::kColVers);
        return QColor(shot().pixel(r.x() + 2, r.y() + r.height() / 2));
    };
    const QColor plain = background(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tooltip));
        app::CompanyOutcome outcome;
        outcome.state = c.state;
        outcome.failedStatements = 2;
        outcome.failedScripts = 1;
        outcome.reason = "Table 'librerie'\r\nlost";
        window.companyStateChanged({0, 1, 2, &outcome});
        QApplication::processEvents();
        const QColor expected = c.tint.isValid() ? c.tint : plain;
        EXPECT_LE(uitest::colourDistance(background(0), expected), 2)
            << background(0).name().toStdString();
        EXPECT_LE(uitest::colourDistance(background(1), plain), 2)
            << "the other row keeps its colour";
        for (int column = 0; column < ui::kGridColumns; ++column)
            EXPECT_EQ(
                grid->model()->index(0, column).data(Qt::ToolTipRole).toString().toStdString(),
                c.tooltip)
                << "column " << column;
        EXPECT_TRUE(grid->model()->index(1, 0).data(Qt::ToolTipRole).toString().isEmpty());
    }
}

TEST_F(GridFixture, ClosedTableShowsNoRowsAndEmptyTableDrawsNothing) {
    table.Open();
    table.Append(company("1"));
    show("2");
    EXPECT_EQ(grid->model()->rowCount(), 1);
    table.Close();
    show("2");
    EXPECT_EQ(grid->model()->rowCount(), 0);
    const QImage image = shot();
    const QImage alert = ui::loadPicture(ui::kPictureAlert).toImage();
    int yellow = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor px(image.pixel(x, y));
            if (px.red() > 200 && px.green() > 150 && px.blue() < 80) ++yellow;
        }
    EXPECT_EQ(yellow, 0);
}

TEST_F(GridFixture, ColumnsTitlesWidthsAndBehaviour) {
    table.Open();
    table.Append(company("1"));
    table.Append(company("2"));
    show("2");
    const QAbstractItemModel& m = *grid->model();
    ASSERT_EQ(m.columnCount(), 4);
    EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), "NOME AZIENDA");
    EXPECT_EQ(m.headerData(1, Qt::Horizontal).toString(), "VERSIONE");
    EXPECT_EQ(m.headerData(2, Qt::Horizontal).toString(), "VID");
    EXPECT_EQ(m.headerData(3, Qt::Horizontal).toString(), "");
    EXPECT_EQ(m.data(m.index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignLeft);
    EXPECT_EQ(m.data(m.index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(m.data(m.index(1, 2), Qt::DisplayRole).toString(), "2");

    // The widths are what each cell shows; the grid line lies outside them.
    const QFontMetrics fm(grid->font());
    const int zero = fm.horizontalAdvance(QLatin1Char('0'));
    const int versione =
        QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance("VERSIONE") + 4;
    EXPECT_EQ(cell(0, 0).width(), 262);
    EXPECT_EQ(cell(0, 1).width(), std::max(10 * zero + 4, versione));
    EXPECT_EQ(cell(0, 2).width(), 20 * zero + 4);
    EXPECT_EQ(cell(0, 3).width(), 16);
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_FALSE(grid->verticalHeader()->isVisible());
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);

    // Tab moves from cell to cell.
    grid->setFocus();
    grid->setCurrentIndex(m.index(0, 0));
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(grid->currentIndex(), m.index(0, 1));
}

}  // namespace
