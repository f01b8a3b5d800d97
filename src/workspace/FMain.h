#pragma once
#include <QWidget>
#include <string>
namespace vorlith {
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(std::string programFolder, QWidget* parent = nullptr);
};
} // namespace vorlith
