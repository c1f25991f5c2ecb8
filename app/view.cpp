#include "app/view.h"

namespace app {

const char* toString(Page p) {
    switch (p) {
        case Page::TabSheetFase01:
            return "TabSheetFase01";
        case Page::TabSheetFase02:
            return "TabSheetFase02";
        case Page::TabSheetFase03:
            return "TabSheetFase03";
    }
    return "?";
}

const char* toString(Label l) {
    switch (l) {
        case Label::LabelPercorso:
            return "LabelPercorso";
        case Label::LabelStatus:
            return "LabelStatus";
        case Label::LabelDownload:
            return "LabelDownload";
        case Label::LabelInstall:
            return "LabelInstall";
    }
    return "?";
}

const char* toString(Image i) {
    switch (i) {
        case Image::iPathOK:
            return "iPathOK";
        case Image::iPathFAIL:
            return "iPathFAIL";
    }
    return "?";
}

const char* toString(Button b) {
    switch (b) {
        case Button::btnAvanti:
            return "btnAvanti";
        case Button::btnFine:
            return "btnFine";
    }
    return "?";
}

}  // namespace app
