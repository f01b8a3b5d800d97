// Start-up: the application, its error reporting, the main window, the event loop.
#include "gui/FMain.h"
#include "gui/widgets/ErrorReporting.h"
#include "gui/widgets/Skin.h"
#include "net/Proxy.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramInfo.h"
#include "platform/QStringBytes.h"

#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {
vorlith::ErrorReporter* reporter = nullptr;
}

// Subsystems that report errors find the program's reporter by this name.
extern "C" Q_DECL_EXPORT vorlith::ErrorReporter* ExceptionManager() {
    return reporter;
}

namespace {

constexpr const char* HelpText =
    "Usage: vorlith [--help] [--version]\n"
    "Opens the Vorlith keyword research window. Without a window, vorlith-cli runs its commands.\n\n"
    "  --help      print this text and end\n"
    "  --version   print the version and end\n\n"
    "Requests go through the proxies that http_proxy, https_proxy and no_proxy name.\n";

// Answered before the application exists: these need no display and open no window. Any other
// argument is left to Qt, as before.
int AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(vorlith::VersionText("vorlith").c_str(), stdout);
            return 0;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (const int answered = AnswerWithoutWindow(argc, argv); answered >= 0)
        return answered;
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
    // A malformed variable fails each request with a clear cause rather than going direct.
    frmMain.Ws().http.Proxies() = vorlith::ProxiesFromEnvironment();
    frmMain.show();
    return QApplication::exec();
}
