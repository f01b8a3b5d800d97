#include "workspace/FMain.h"
namespace vorlith {
TfrmMain::TfrmMain(std::string, QWidget* parent) : QWidget(parent) {}
} // namespace vorlith
