#include "gui/dialogs/EnterKey.h"

#include <QKeyEvent>
#include <QWidget>

namespace vorlith {

EnterKey::EnterKey(QWidget* watched, std::function<void()> action)
    : QObject(watched), action_(std::move(action)) {
    watched->installEventFilter(this);
}

bool EnterKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            action_();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vorlith
