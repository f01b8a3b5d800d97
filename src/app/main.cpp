// Start-up: the application, its error reporting, the main window, the event loop.
#include "gui/FMain.h"
#include "gui/widgets/ErrorReporting.h"
#include "gui/widgets/Skin.h"
#include "platform/QStringBytes.h"

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

    vorlith::TfrmMain frmMain(vorlith::ToBytes(QCoreApplication::applicationDirPath()));
    frmMain.show();
    return QApplication::exec();
}
