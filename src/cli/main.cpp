// vorlith-cli: the window's commands from a terminal, for scripts and batch work.
#include "cli/CommandTable.h"

#include <QCoreApplication>
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
    try {
        return table.Run(args, stdout, stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Error: %s\n", error.what());
        return vorlith::cli::ExitFailed;
    }
}
