// Start-up: the application, its error reporting, the main window, the event loop.
#include "gui/FMain.h"
#include "gui/widgets/ErrorReporting.h"
#include "gui/widgets/Skin.h"
#include "platform/ProgramFolder.h"
#include "platform/QStringBytes.h"

#include <QIcon>
#include <QMessageBox>
#include <exception>

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

    // The menu entry and the AppStream metainfo carry this name; the desktop matches windows by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vorlith.Vorlith"));
    // The installed theme's icon, else the copy built in; a branded IconPath replaces it later.
    QIcon builtInIcon;
    for (const int size : {16, 32, 48, 256})
        builtInIcon.addFile(QStringLiteral(":/vorlith/icons/vorlith-%1.png").arg(size));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vorlith"), builtInIcon));

    // A portable copy keeps its files beside it; an installed one in the user's data folder.
    vorlith::ProgramFolders folders;
    try {
        folders = vorlith::RunningProgramFolders(vorlith::ToBytes(QCoreApplication::applicationDirPath()));
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Vorlith"), vorlith::ToQString(error.what()));
        return 1;
    }
    vorlith::TfrmMain frmMain(std::move(folders));
    frmMain.show();
    return QApplication::exec();
}
