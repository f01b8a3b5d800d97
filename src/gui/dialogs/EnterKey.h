#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace vorlith {

// Runs an action when Enter or Return is pressed in the watched widget, whatever modifier keys
// are held, and keeps the key from reaching the dialog's default button.
class EnterKey : public QObject {
    Q_OBJECT
public:
    EnterKey(QWidget* watched, std::function<void()> action);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> action_;
};

} // namespace vorlith
