#include "ui/pictures.h"

#include <QString>

namespace ui {

QPixmap loadPicture(const char* path) {
    QPixmap pixmap;
    (void)pixmap.load(QString::fromLatin1(path));
    return pixmap;
}

}  // namespace ui
