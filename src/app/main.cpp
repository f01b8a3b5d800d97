// Start-up: the application, its error reporting, the main window, the event loop.
#include "ui/ErrorReporting.h"
#include "ui/Skin.h"
#include "workspace/FMain.h"

namespace {
vorlith::ErrorReporter* reporter = nullptr;
}

// Subsystems that report errors find the program's reporter by this name.
extern "C" Q_DECL_EXPORT vorlith::ErrorReporter* ExceptionManager() {
    return reporter;
}

int main(int argc, char** argv) {
    vorlith::VorlithApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vorlith"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.04"));
    reporter = &app.Reporter();
    vorlith::ApplySkin(vorlith::BuiltInSkin());

    vorlith::TfrmMain frmMain(QCoreApplication::applicationDirPath().toLocal8Bit().toStdString());
    frmMain.show();
    return QApplication::exec();
}
