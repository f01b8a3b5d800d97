#pragma once

#include <QProgressBar>

namespace vorlith {

class Gauge;

// The gauge on screen (MainGauge): shows the core gauge's range, value and text.
class GaugeBar : public QProgressBar {
    Q_OBJECT
public:
    explicit GaugeBar(QWidget* parent = nullptr);
    void Show(const Gauge& gauge);
};

} // namespace vorlith
