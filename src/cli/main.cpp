// vorlith-cli: the window's commands from a terminal, for scripts and batch work.
#include "cli/CommandTable.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    // No window: a core application runs the event loop that the requests wait in.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vorlith-cli"));

    vorlith::cli::CommandTable table;
    vorlith::cli::RegisterGeneralCommands(table);
    vorlith::cli::RegisterNetCommands(table);
    vorlith::cli::RegisterHarvestCommands(table);
    vorlith::cli::RegisterStatsCommands(table);
    vorlith::cli::RegisterBrandingCommands(table);
    vorlith::cli::RegisterTableCommands(table);

    std::vector<std::string> args(argv, argv + argc);
    // The commands run as a coroutine in the event loop, as the window's runs do.
    int status = vorlith::cli::ExitFailed;
    auto commands = [&]() -> QCoro::Task<void> {
        try {
            status = co_await table.Run(args, stdout, stderr);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "Error: %s\n", error.what());
            status = vorlith::cli::ExitFailed;
        }
        QCoreApplication::exit(status);
    };
    QTimer::singleShot(0, &app, [&] { QCoro::Task<void> running = commands(); });
    QCoreApplication::exec();
    return status;
}
