#include "ui/screen_centring.h"

#include <QEvent>
#include <QObject>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace ui {
namespace {

// Watches one window. Before the window manager has framed the window, frameGeometry() is the
// client area alone, and a window centred by it sits half a title bar too low; every change of
// the frame's size (the frame arriving, a dialog laying itself out after its show) centres it
// again. Once the window is exposed with a frame around it the centring is done.
class Centring : public QObject {
  public:
    explicit Centring(QWidget& window) : QObject(&window), m_window(window) {
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (watched == &m_window &&
            (t == QEvent::Show || t == QEvent::Move || t == QEvent::Resize || t == QEvent::Paint))
            follow();
        return false;
    }

  private:
    void follow() {
        if (!m_window.isVisible()) return;
        const QRect frame = m_window.frameGeometry();
        if (frame.size() != m_centredFrame) centre(frame);
        const QWindow* handle = m_window.windowHandle();
        const bool framed = frame.size() != m_window.size();
        if (framed && handle && handle->isExposed()) {
            m_window.removeEventFilter(this);
            deleteLater();
        }
    }

    void centre(QRect frame) {
        const QScreen* screen = m_window.screen();
        if (!screen) return;
        m_centredFrame = frame.size();
        frame.moveCenter(screen->availableGeometry().center());
        m_window.move(frame.topLeft());  // a window's position is its frame's top-left corner
    }

    QWidget& m_window;
    QSize m_centredFrame;
};

}  // namespace

void centreOnScreenWhenShown(QWidget& window) {
    new Centring(window);
}

}  // namespace ui
