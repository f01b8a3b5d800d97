#include "gui/widgets/LinkLabel.h"

#include "platform/QStringBytes.h"

#include <QMouseEvent>

namespace vorlith {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setUnderline(true);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
}

void LinkLabel::SetCaption(const std::string& caption) {
    setText(ToQString(caption));
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT Clicked();
}

} // namespace vorlith
