// The pictures come out of the library's resources at their sizes, and the window's typeface
// draws real glyphs.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QRawFont>

#include "ui/fonts.h"
#include "ui/pictures.h"

namespace {

struct PictureCase {
    const char* path;
    int width, height;
    bool transparent;
};

TEST(Pictures, EachLoadsAtItsSizeWithOrWithoutTransparency) {
    const PictureCase cases[] = {
        {ui::kPictureOk, 16, 16, true},
        {ui::kPictureAlert, 16, 16, true},
        {ui::kPictureUpdate, 128, 128, true},
        {ui::kPictureLogo, 112, 30, false},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.path);
        const QImage image = ui::loadPicture(c.path).toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.height(), c.height);
        EXPECT_EQ(image.hasAlphaChannel(), c.transparent);
        if (c.transparent) {
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "corner should be see-through";
        }
    }
    EXPECT_TRUE(ui::loadPicture(":/pictures/missing.png").isNull());
}

TEST(Pictures, CheckIsGreenAndTriangleIsYellow) {
    auto countWhere = [](const QImage& image, auto pred) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) == 255 && pred(QColor(image.pixel(x, y)))) ++n;
        return n;
    };
    const QImage ok = ui::loadPicture(ui::kPictureOk).toImage();
    const QImage alert = ui::loadPicture(ui::kPictureAlert).toImage();
    EXPECT_GT(countWhere(
                  ok, [](QColor c) { return c.green() > 2 * c.red() && c.green() > 2 * c.blue(); }),
              10);
    EXPECT_GT(
        countWhere(alert,
                   [](QColor c) { return c.red() > 200 && c.green() > 150 && c.blue() < 80; }),
        20);
    EXPECT_GT(countWhere(alert, [](QColor c) { return c.lightness() < 40; }), 3)
        << "exclamation mark";
}

TEST(Fonts, TahomaIsAvailableAndDrawsGlyphs) {
    ASSERT_TRUE(ui::ensureTahoma()) << "install fonts-wine or a Tahoma font";
    const QFont font = ui::tahoma(16, ui::Weight::Bold);
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(QFontInfo(font).bold());
    const QRawFont raw = QRawFont::fromFont(font);
    EXPECT_TRUE(raw.supportsCharacter(QLatin1Char('A')));

    // Without a usable font every letter is the same box: different letters must differ.
    auto render = [&](QChar ch) {
        QImage image(24, 24, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, QString(ch));
        return image;
    };
    const QImage a = render(QLatin1Char('A')), o = render(QLatin1Char('o')),
                 l = render(QLatin1Char('l'));
    EXPECT_NE(a, o);
    EXPECT_NE(o, l);
    EXPECT_NE(a, l);
    EXPECT_NE(a, render(QLatin1Char(' '))) << "a glyph draws ink";
}

}  // namespace
