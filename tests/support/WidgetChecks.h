#pragma once
// Helpers for offscreen window tests: controls by object name, geometry in the window's client
// coordinates, tab order, and answering a modal window from inside its own event loop.

#include <QApplication>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlith::test {

// A control by its object name, the name the skin's selectors use too. A missing one throws, so
// the test fails instead of crashing.
template <typename T = QWidget> T* Find(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}
template <typename T = QWidget> T* Find(const QObject* window, const char* name) {
    return Find<T>(*window, name);
}

// The widget's rectangle in the client coordinates of its top-level window.
inline QRect ClientRect(const QWidget* widget) {
    const QPoint topLeft = widget->mapTo(widget->window(), QPoint(0, 0));
    return {topLeft, widget->size()};
}

// The widgets that Tab visits, in order, starting at first.
inline std::vector<QWidget*> TabChain(QWidget* first, int count) {
    std::vector<QWidget*> chain{first};
    for (QWidget* w = first->nextInFocusChain(); w != first && static_cast<int>(chain.size()) < count;
         w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled())
            chain.push_back(w);
    return chain;
}

// Runs action on the first modal window that opens, once it is shown.
inline void WhenModalOpens(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action = std::move(action)] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

} // namespace vorlith::test
