#pragma once
// vorlith-cli's commands. Each group of commands registers itself from its own file
// (<Group>Commands.cpp) into the table; main only lists the register calls.

#include "workspace/WorkspaceUi.h"

#include <cstdio>
#include <functional>
#include <qcoro/qcorotask.h>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {
class Workspace;
}

namespace vorlith::cli {

class ConsoleUi;

// Settings read before the workspace exists.
struct CliSetup {
    std::string Folder; // ProgramFolder; empty: the copy's own (see platform/ProgramFolder.h)
    bool Yes = false;   // OK/Cancel questions answered OK
    bool Verbose = false;
    int TimeoutSeconds = 120; // without data, and for the whole request; 0: no limit; -1: not a valid value
    // --trim, --skip-blank, --skip-existing: on for every --keywords and --add, wherever they stand.
    ImportOptions Import = {};
    std::string Proxy; // --proxy: for plain and secure requests alike, instead of the environment's
};

// Longest --timeout: larger values would overflow the client's milliseconds.
inline constexpr int MaxTimeoutSeconds = 2'000'000;

// What a command runs against.
struct CliContext {
    Workspace& Ws;
    ConsoleUi& Ui;
    std::FILE* Out;
    std::FILE* Err;
    // The command line's import options (CliSetup::Import).
    ImportOptions Import = {};
    // A Gather Data run happened: the run fails when lookups are still failed at the end.
    bool LookupsAsked = false;
    bool SourceProblemsSaid = false;
};

// The broken entries of sources.ini, once per run, and the blocks since the last call, on stderr.
void SaySourceNews(CliContext& context);

using Arguments = std::vector<std::string>;

// The main status text on standard error, and a failed request's host and cause on the next line
// (unless --verbose printed them already).
void PrintStatus(CliContext& context);

struct Command {
    std::string Name;                   // "fetch", "--save", ...
    std::vector<std::string> Arguments; // argument names, for the usage text
    std::string Help;
    // Exactly one of the three: a setting applied before the workspace is built, or a command
    // run in the order given, at once or as a coroutine that awaits the network. A command returns
    // the exit status; non-zero ends the run.
    std::function<void(CliSetup&, const vorlith::cli::Arguments&)> Setup;
    std::function<int(CliContext&, const vorlith::cli::Arguments&)> Run;
    std::function<QCoro::Task<int>(CliContext&, const vorlith::cli::Arguments&)> Await = {};
    // An empty argument is a usage error (a file name or a keyword that cannot be empty).
    bool NonEmptyArguments = false;
};

class CommandTable {
public:
    void Add(Command command);
    const Command* Find(const std::string& name) const;
    std::string Usage(const std::string& program) const;

    // Parses the arguments, applies the settings, builds the workspace and runs the commands in
    // order. Returns the exit status: 0 when every command did what it was asked; the first
    // failing command's status (a hard failure stops the run there); 1 when Gather Data lookups
    // are still failed at the end; 2 for a usage error, a missing or read-only --folder included.
    // Runs in the event loop; main quits with its status.
    QCoro::Task<int> Run(std::vector<std::string> args, std::FILE* out, std::FILE* err) const;

private:
    std::vector<Command> commands_;
};

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1; // a command failed, or gathered nothing because it was cancelled
inline constexpr int ExitUsage = 2;  // the command line is wrong

// Writes bytes to a standard stream and flushes it; false when they could not all be written
// (a full disk, a closed pipe).
bool WriteAll(std::FILE* file, std::string_view bytes);

// The groups. Each lives in its own file.
void RegisterGeneralCommands(CommandTable& table);
void RegisterNetCommands(CommandTable& table);
void RegisterHarvestCommands(CommandTable& table);
void RegisterBrandingCommands(CommandTable& table);
void RegisterStatsCommands(CommandTable& table);
void RegisterTableCommands(CommandTable& table);

} // namespace vorlith::cli
