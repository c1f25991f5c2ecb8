// Helpers of the window tests: answering modal dialogs from a timer, finding controls.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace uitest {

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

template <typename T>
T* control(const QWidget& window, const char* name) {
    return window.findChild<T*>(QLatin1String(name));
}

}  // namespace uitest
