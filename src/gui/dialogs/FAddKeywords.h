#pragma once

#include "workspace/WorkspaceUi.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlith {

class MessagePort;

// "Enter Keyword(s)": one typed keyword, or a keyword list file.
class TfrmAddKeywords : public QDialog {
    Q_OBJECT
public:
    // Chooses one existing file; returns an empty text when the user cancels.
    using FileChooser = std::function<QString(QWidget* parent, const QString& title, const QString& folder,
                                              const QString& filter)>;

    TfrmAddKeywords(MessagePort& msgMain, QString programFolder, QWidget* parent = nullptr);

    // The two boxes, as bytes.
    std::string Keyword() const;
    std::string ListFile() const;
    // The import options below the buttons; all off as the dialog opens.
    ImportOptions Options() const;

    void btnOkClick();
    void btnBrowseClick();

    // bsSkinOpenDialog1; tests replace it.
    FileChooser bsSkinOpenDialog1;
    // Where the next Browse starts: the program's folder, then the folder of the file chosen last.
    const QString& BrowseFolder() const { return browseFolder_; }

private:
    QLabel* bsSkinStdLabel1;
    QLineEdit* edtAddKeyword;
    QLabel* bsSkinStdLabel2;
    QLineEdit* edtList;
    QPushButton* btnBrowse;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QCheckBox* chkTrim;
    QCheckBox* chkSkipBlank;
    QCheckBox* chkSkipExisting;
    MessagePort& msgMain_;
    QString browseFolder_;
};

} // namespace vorlith
