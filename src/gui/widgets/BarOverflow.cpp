#include "gui/widgets/BarOverflow.h"

#include <QAbstractButton>
#include <QEvent>
#include <QMenu>
#include <QToolButton>
#include <algorithm>
#include <limits>

namespace vorlith {

namespace {
constexpr int Gap = 4;
}

BarOverflow::BarOverflow(QWidget& bar, std::vector<QAbstractButton*> movable, QWidget* elastic, int elasticMinimum)
    : QObject(&bar), bar_(bar), elastic_(elastic), elasticMinimum_(elasticMinimum) {
    int left = std::numeric_limits<int>::max();
    for (QAbstractButton* button : movable)
        movable_.push_back({button, button->geometry()});
    // The buttons and the elastic control make the row; labels are placed by the strip's owner.
    std::vector<QWidget*> row;
    for (QAbstractButton* button : bar.findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        row.push_back(button);
    if (elastic)
        row.push_back(elastic);
    for (QWidget* child : row) {
        const QRect home = child->geometry();
        left = std::min(left, home.left());
        const bool moves = std::any_of(movable_.begin(), movable_.end(),
                                       [child](const Placed& p) { return p.Button == child; });
        if (!moves && child != elastic)
            fixedRight_ = std::max(fixedRight_, home.right() + 1);
    }
    if (elastic_)
        elasticHome_ = elastic_->geometry();
    // The margin the first layout leaves at the right is the left one mirrored.
    rightMargin_ = row.empty() ? 0 : std::max(left, 0);

    more_ = new QToolButton(&bar);
    more_->setObjectName(bar.objectName() + QStringLiteral("More"));
    more_->setText(QStringLiteral("More"));
    more_->setToolTip(QStringLiteral("The commands that do not fit in this narrow window"));
    more_->setPopupMode(QToolButton::InstantPopup);
    more_->setFocusPolicy(Qt::NoFocus);
    auto* menu = new QMenu(more_);
    more_->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, [this] { FillMenu(); });
    more_->adjustSize();
    more_->hide();
    bar.installEventFilter(this);
}

int BarOverflow::MinimumWidth() const {
    int right = fixedRight_;
    if (elastic_)
        right = std::max(right, elasticHome_.left() + elasticMinimum_);
    return right + Gap + more_->sizeHint().width() + rightMargin_;
}

bool BarOverflow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &bar_ && event->type() == QEvent::Resize)
        Arrange();
    return QObject::eventFilter(watched, event);
}

void BarOverflow::Arrange() {
    const int width = bar_.width();
    int right = fixedRight_;
    for (const Placed& p : movable_)
        right = std::max(right, p.Home.right() + 1);
    if (elastic_)
        right = std::max(right, elasticHome_.right() + 1);
    // The elastic control shrinks first; what stands right of it follows it left.
    const int shrink = elastic_ ? std::clamp(right + rightMargin_ - width, 0, elasticHome_.width() - elasticMinimum_) : 0;
    if (elastic_)
        elastic_->setGeometry(elasticHome_.adjusted(0, 0, -shrink, 0));
    const int moreWidth = more_->sizeHint().width();
    bool overflow = right - shrink + rightMargin_ > width;
    int shownRight = elastic_ ? elasticHome_.right() + 1 - shrink : 0;
    shownRight = std::max(shownRight, fixedRight_);
    for (const Placed& p : movable_) {
        QRect place = p.Home;
        if (elastic_ && p.Home.left() > elasticHome_.left())
            place.translate(-shrink, 0);
        const bool fits = !overflow || place.right() + 1 + Gap + moreWidth + rightMargin_ <= width;
        p.Button->setGeometry(place);
        p.Button->setVisible(fits);
        if (fits)
            shownRight = std::max(shownRight, place.right() + 1);
        else
            overflow = true;
    }
    more_->setVisible(overflow);
    if (overflow) {
        const int top = movable_.empty() ? 7 : movable_.front().Home.top();
        const int height = movable_.empty() ? more_->sizeHint().height() : movable_.front().Home.height();
        more_->setGeometry(shownRight + Gap, top, moreWidth, height);
    }
}

void BarOverflow::FillMenu() {
    QMenu* menu = more_->menu();
    menu->clear();
    for (const Placed& p : movable_) {
        if (!p.Button->isHidden())
            continue;
        QAbstractButton* button = p.Button;
        QAction* action = menu->addAction(button->text(), button, [button] { button->click(); });
        action->setEnabled(button->isEnabled());
        action->setToolTip(button->toolTip());
    }
}

} // namespace vorlith
