#pragma once

#include <QDialog>

class QPushButton;
class QRadioButton;

namespace vorlith {

// "Select Search Type": precise (quoted phrase) or broad search.
class TfrmSelSearch : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelSearch(QWidget* parent = nullptr);

    bool PreciseSelected() const;

private:
    QRadioButton* bsSkinCheckRadioBox1; // precise
    QRadioButton* bsSkinCheckRadioBox2; // broad
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

} // namespace vorlith
