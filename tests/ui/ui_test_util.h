// Helpers of the window tests: a home folder of their own, answering modal dialogs from a timer,
// finding controls, and reading text strokes back from drawn pixels.
#pragma once

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include "ui/updater_window.h"

namespace uitest {

// For the whole run HOME and the XDG folders point into a fresh folder: no setting left on the
// machine (the file dialog's remembered folder in ~/.config/QtProject.conf, a desktop folder)
// reaches a test, and nothing a test does is written into the developer's home. Made before
// the QApplication.
class FreshHome {
  public:
    FreshHome() {
        const QByteArray home = QFile::encodeName(m_dir.path());
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", home + "/.config");
        qputenv("XDG_DATA_HOME", home + "/.local/share");
        qputenv("XDG_CACHE_HOME", home + "/.cache");
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(m_dir.path() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", home + "/runtime");
    }
    QString path() const { return m_dir.path(); }

  private:
    QTemporaryDir m_dir;
};

// Runs `act` on the first modal dialog that opens while the watcher lives (polled every 10 ms).
class DialogWatcher {
  public:
    explicit DialogWatcher(std::function<void(QWidget&)> act) : m_act(std::move(act)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_seen = true;
                m_timer.stop();
                m_act(*modal);
            }
        });
        m_timer.start(10);
    }
    bool seen() const { return m_seen; }

  private:
    std::function<void(QWidget&)> m_act;
    QTimer m_timer;
    bool m_seen = false;
};

// Shows one page the way the phases do: its tab alone visible.
inline void showOnly(ui::UpdaterWindow& window, app::Page page) {
    for (app::Page p :
         {app::Page::TabSheetFase01, app::Page::TabSheetFase02, app::Page::TabSheetFase03})
        if (p != page) window.setTabVisible(p, app::Visibility::Hidden);
    window.setTabVisible(page, app::Visibility::Shown);
    QApplication::processEvents();
}

template <typename T>
T* control(const QWidget& window, const char* name) {
    return window.findChild<T*>(QLatin1String(name));
}

inline int colourDistance(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

// The strokes of text drawn in `ink` on `background`: a pixel is a stroke pixel when it lies at
// least half-way from the background to the ink colour.
struct Strokes {
    int pixels = 0;     // stroke pixels
    int widestGap = 0;  // the widest run of columns without one, between the first and last
};

inline Strokes strokes(const QImage& image, QColor ink, QColor background = Qt::white) {
    Strokes s;
    const int threshold = colourDistance(ink, background) / 2;
    bool started = false;
    int gap = 0;
    for (int x = 0; x < image.width(); ++x) {
        bool column = false;
        for (int y = 0; y < image.height(); ++y)
            if (colourDistance(QColor(image.pixel(x, y)), background) >= threshold) {
                ++s.pixels;
                column = true;
            }
        if (column) {
            if (started) s.widestGap = std::max(s.widestGap, gap);
            started = true;
            gap = 0;
        } else {
            ++gap;
        }
    }
    return s;
}

// Pixels of `image` within `tolerance` of `colour`.
inline int pixelsNear(const QImage& image, QColor colour, int tolerance = 0) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (colourDistance(QColor(image.pixel(x, y)), colour) <= tolerance) ++n;
    return n;
}

}  // namespace uitest
