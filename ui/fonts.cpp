#include "ui/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainterPath>
#include <QRawFont>
#include <QStringList>

namespace ui {
namespace {

// Wine's tahomabd.ttf carries the regular outlines with the bold advance widths: taken as the
// bold face it draws thin letters spread apart ("/ tmp/ Ostrel/"). Only the regular file is
// loaded; bold is then synthesised from it.
constexpr const char* kWineRegularFile = "tahoma.ttf";

// True when the family's bold face draws other outlines than its regular face. Compared at a
// large size so that hinting cannot make two different outlines equal.
bool boldOutlinesDiffer() {
    QFont regular(QString::fromLatin1(kTahoma));
    regular.setPixelSize(64);
    QFont bold = regular;
    bold.setBold(true);
    const QRawFont r = QRawFont::fromFont(regular);
    const QRawFont b = QRawFont::fromFont(bold);
    if (!r.isValid() || !b.isValid()) return false;
    const QString probe = QStringLiteral("aeA/");
    const QList<quint32> rg = r.glyphIndexesForString(probe);
    const QList<quint32> bg = b.glyphIndexesForString(probe);
    if (rg.size() != bg.size()) return true;
    for (qsizetype i = 0; i < rg.size(); ++i)
        if (r.pathForGlyph(rg[i]) != b.pathForGlyph(bg[i])) return true;
    return false;
}

}  // namespace

bool ensureTahoma() {
    if (QFontDatabase::families().contains(kTahoma)) return true;
    (void)QFontDatabase::addApplicationFont(QString::fromLatin1(kWineFontDir) + kWineRegularFile);
    return QFontDatabase::families().contains(kTahoma);
}

QFont tahoma(int pixelHeight, Weight weight) {
    QFont font(QString::fromLatin1(kTahoma));
    font.setPixelSize(pixelHeight);
    if (weight == Weight::Bold) {
        font.setBold(true);
        // Asking for the regular style at bold weight makes Qt embolden the regular outlines.
        if (!boldOutlinesDiffer()) font.setStyleName(QStringLiteral("Regular"));
    }
    return font;
}

}  // namespace ui
