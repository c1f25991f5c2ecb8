#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace ui {

bool ensureTahoma() {
    if (QFontDatabase::families().contains(kTahoma)) return true;
    const QString dir = kWineFontDir;
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf"})
        (void)QFontDatabase::addApplicationFont(dir + file);
    return QFontDatabase::families().contains(kTahoma);
}

QFont tahoma(int pixelHeight, Weight weight) {
    QFont font(kTahoma);
    font.setPixelSize(pixelHeight);
    font.setBold(weight == Weight::Bold);
    return font;
}

}  // namespace ui
