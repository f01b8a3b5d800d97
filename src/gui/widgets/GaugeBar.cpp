#include "gui/widgets/GaugeBar.h"

#include "workspace/Gauge.h"

namespace vorlith {

GaugeBar::GaugeBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    Show(Gauge{});
}

void GaugeBar::Show(const Gauge& gauge) {
    // A (0, 0) range would make QProgressBar spin as "busy"; an empty range shows an empty bar.
    const int maximum = gauge.Maximum() > 0 ? gauge.Maximum() : 1;
    setRange(0, maximum);
    setValue(gauge.Value());
    setFormat(QString::fromStdString(gauge.Text()));
}

} // namespace vorlith
