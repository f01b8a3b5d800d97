#pragma once
// Keeps a strip of absolutely placed controls usable when the window is narrower than the strip:
// an elastic control (the filter box) gives up width first, then the movable buttons that no
// longer fit, from the right, are hidden and offered in a "More" menu at the strip's right end.
// While everything fits, nothing moves and the More button is hidden.

#include <QObject>
#include <QRect>
#include <vector>

class QAbstractButton;
class QToolButton;
class QWidget;

namespace vorlith {

class BarOverflow : public QObject {
public:
    // movable: in their order on the strip; elastic may be null.
    BarOverflow(QWidget& bar, std::vector<QAbstractButton*> movable, QWidget* elastic = nullptr,
                int elasticMinimum = 0);

    // The narrowest strip on which every fixed control, the elastic one at its minimum and the
    // More button fit.
    int MinimumWidth() const;
    QToolButton* More() const { return more_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Arrange();
    void FillMenu();

    QWidget& bar_;
    struct Placed {
        QAbstractButton* Button;
        QRect Home;
    };
    std::vector<Placed> movable_;
    QWidget* elastic_;
    QRect elasticHome_;
    int elasticMinimum_;
    int fixedRight_ = 0;  // right edge of the controls that never move
    int rightMargin_ = 0; // the strip's own margin at the first size
    QToolButton* more_;
};

} // namespace vorlith
