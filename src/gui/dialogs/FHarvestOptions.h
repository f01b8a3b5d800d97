#pragma once
// "Harvest Options…": which sources Gather Keywords asks, the expansion and the depth, for the
// rest of the run.

#include "workspace/Sources.h"

#include <QDialog>

class QComboBox;
class QListWidget;

namespace vorlith {

class TfrmHarvestOptions : public QDialog {
    Q_OBJECT
public:
    TfrmHarvestOptions(const SourcesList& sources, const HarvestOptions& current, QWidget* parent = nullptr);

    // What the dialog shows now.
    HarvestOptions Chosen() const;

private:
    const SourcesList& sources_;
    QListWidget* lstSources;
    QComboBox* cmbExpand;
    QComboBox* cmbDepth;
};

} // namespace vorlith
