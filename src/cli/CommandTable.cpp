#include "cli/CommandTable.h"

#include "cli/ConsoleUi.h"
#include "platform/Files.h"
#include "net/Proxy.h"
#include "platform/ProgramInfo.h"
#include "platform/ProgramFolder.h"
#include "platform/QStringBytes.h"
#include "workspace/Endpoints.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <exception>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith::cli {

namespace {

constexpr const char* ExitStatusHelp =
    "\nExit status: 0 when every command did what it was asked; 1 when a command failed\n"
    "(a failed fetch, download, save or write stops at once; so does a cancelled\n"
    "security image), gathered nothing because it was cancelled, or when Gather Data\n"
    "lookups are still failed at the end; 2 for a wrong command line, including a\n"
    "--folder that does not exist or cannot be written.\n";

// Why the folder cannot be the program folder, or empty when it can.
std::string FolderProblem(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return "is not an existing folder";
    // The scratch file and the update description are written there.
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot be written";
    return {};
}

} // namespace

bool WriteAll(std::FILE* file, std::string_view bytes) {
    // fwrite's buffer may not be null, which an empty view's can be.
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fflush(file) == 0 && written && !std::ferror(file);
}

void PrintStatus(CliContext& context) {
    const std::string& status = context.Ws.MainStatusText();
    std::fwrite(status.data(), 1, status.size(), context.Err);
    std::fputc('\n', context.Err);
    const std::string& cause = context.Ws.MainStatusCause();
    if (!cause.empty() && !context.Ui.Verbose())
        std::fprintf(context.Err, "%s\n", cause.c_str());
}

void CommandTable::Add(Command command) {
    if (Find(command.Name))
        throw std::logic_error("vorlith-cli: the command " + command.Name + " is registered twice");
    commands_.push_back(std::move(command));
}

const Command* CommandTable::Find(const std::string& name) const {
    for (const auto& command : commands_)
        if (command.Name == name)
            return &command;
    return nullptr;
}

std::string CommandTable::Usage(const std::string& program) const {
    std::string text = "Usage: " + program +
                       " [option or command]...\n"
                       "Options and commands run in the order given.\n\n";
    for (const auto& command : commands_) {
        std::string left = "  " + command.Name;
        for (const auto& argument : command.Arguments)
            left += " " + argument;
        if (left.size() < 28)
            left.resize(28, ' ');
        else
            left += "\n" + std::string(28, ' ');
        text += left + command.Help + "\n";
    }
    return text + ExitStatusHelp;
}

QCoro::Task<int> CommandTable::Run(std::vector<std::string> args, std::FILE* out, std::FILE* err) const {
    const std::string program = args.empty() ? "vorlith-cli" : args.front();
    struct Step {
        const Command* What;
        Arguments Given;
    };
    std::vector<Step> steps;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            if (WriteAll(out, Usage(program)))
                co_return ExitOk;
            std::fprintf(err, "%s: cannot write to standard output\n", program.c_str());
            co_return ExitFailed;
        }
        if (args[i] == "--version") {
            std::fputs(VersionText("vorlith-cli").c_str(), out);
            co_return ExitOk;
        }
        const Command* command = Find(args[i]);
        if (!command) {
            std::fprintf(err, "%s: unknown option or command \"%s\"\n\n%s", program.c_str(), args[i].c_str(),
                         Usage(program).c_str());
            co_return ExitUsage;
        }
        if (args.size() - i - 1 < command->Arguments.size()) {
            std::fprintf(err, "%s: %s needs %zu argument(s)\n\n%s", program.c_str(), command->Name.c_str(),
                         command->Arguments.size(), Usage(program).c_str());
            co_return ExitUsage;
        }
        Step step{command, {}};
        for (std::size_t a = 0; a < command->Arguments.size(); ++a) {
            step.Given.push_back(args[++i]);
            if (command->NonEmptyArguments && step.Given.back().empty()) {
                std::fprintf(err, "%s: %s needs a non-empty %s\n", program.c_str(), command->Name.c_str(),
                             command->Arguments[a].c_str());
                co_return ExitUsage;
            }
        }
        steps.push_back(std::move(step));
    }
    if (steps.empty()) {
        std::fputs(Usage(program).c_str(), err);
        co_return ExitUsage;
    }

    CliSetup setup;
    for (const auto& step : steps)
        if (step.What->Setup)
            step.What->Setup(setup, step.Given);
    if (setup.TimeoutSeconds < 0) {
        std::fprintf(err, "%s: --timeout needs a whole number of seconds from 0 to %d\n", program.c_str(),
                     MaxTimeoutSeconds);
        co_return ExitUsage;
    }
    // A chosen folder that cannot be the program folder is a wrong command line.
    if (!setup.Folder.empty()) {
        if (const std::string problem = FolderProblem(setup.Folder); !problem.empty()) {
            std::fprintf(err, "%s: --folder %s %s\n", program.c_str(), setup.Folder.c_str(), problem.c_str());
            co_return ExitUsage;
        }
    }
    // The window's folders: its own (portable) or the user's data folder (installed), unless chosen.
    const std::string executableFolder = ToBytes(QCoreApplication::applicationDirPath());
    ProgramFolders folders;
    try {
        folders = setup.Folder.empty() ? RunningProgramFolders(executableFolder)
                                       : ChosenProgramFolders(executableFolder, setup.Folder);
    } catch (const std::exception& error) {
        std::fprintf(err, "Error: %s\n", error.what());
        co_return ExitFailed;
    }

    ProxySettings proxies = ProxiesFromEnvironment();
    if (!setup.Proxy.empty())
        proxies = {setup.Proxy, setup.Proxy, proxies.NoProxy};
    // A malformed proxy is a wrong command line (or environment), said before anything is sent.
    for (const std::string* proxy : {&proxies.Http, &proxies.Https}) {
        try {
            if (!proxy->empty())
                ParseProxy(*proxy);
        } catch (const std::exception& error) {
            std::fprintf(err, "%s: %s\n", program.c_str(), error.what());
            co_return ExitUsage;
        }
    }

    ConsoleUi ui(err, setup.Yes, setup.Verbose);
    Workspace ws(ui, std::move(folders));
    // Its [Endpoints] are the defaults then: say why.
    if (const std::string warning = NotAFileWarning(ws.SettingsFile(EndpointsFileName)); !warning.empty())
        std::fprintf(err, "%s: warning: %s\n", program.c_str(), warning.c_str());
    ws.http.Proxies() = proxies;
    // The sort state as the window's creation step leaves it; there is no window here to brand.
    ws.SortColumn = -1;
    ws.SortAscending = true;
    ws.http.Options().ReadTimeoutMs = setup.TimeoutSeconds * 1000;
    ws.http.Options().TotalTimeoutMs = setup.TimeoutSeconds * 1000;
    CliContext context{ws, ui, out, err, setup.Import};
    // A command that gave up on a silent server failed, whatever else it reports.
    const auto gaveUp = [&] {
        if (!ws.http.GaveUp())
            return false;
        if (ws.http.GaveUpOnTotal())
            std::fprintf(err, "%s: gave up: the request took longer than %d seconds (see --timeout)\n",
                         program.c_str(), setup.TimeoutSeconds);
        else
            std::fprintf(err, "%s: gave up: the server sent nothing for %d seconds (see --timeout)\n",
                         program.c_str(), setup.TimeoutSeconds);
        return true;
    };
    try {
        for (const auto& step : steps) {
            if (!step.What->Run && !step.What->Await)
                continue;
            // No co_await inside ?: or &&: GCC 12 miscompiles the temporaries around it.
            int status = ExitOk;
            if (step.What->Run)
                status = step.What->Run(context, step.Given);
            else
                status = co_await step.What->Await(context, step.Given);
            // What escaped a run's coroutine ends the command line as a thrown error does.
            ui.RethrowReportedError();
            if (gaveUp())
                co_return ExitFailed;
            if (status != ExitOk)
                co_return status;
        }
    } catch (const std::exception& error) {
        std::fprintf(err, "Error: %s\n", error.what());
        gaveUp();
        co_return ExitFailed;
    }
    if (!WriteAll(out, {})) {
        std::fprintf(err, "%s: cannot write to standard output\n", program.c_str());
        co_return ExitFailed;
    }
    // Failed lookups that a later --retry-failed did not mend.
    if (context.LookupsAsked && ws.table.FailedCount() > 0)
        co_return ExitFailed;
    co_return ExitOk;
}

} // namespace vorlith::cli
