#pragma once
// Runs vorlith-cli's command table in-process with its standard output and error captured.

#include "cli/CommandTable.h"
#include "support/Await.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vorlith::cli {

struct CliRun {
    int Status = -1;
    std::string Out, Err;
};

// Reads a temporary file back whole and closes it.
inline std::string Drain(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

// args without the program name.
inline CliRun RunCli(const CommandTable& table, std::vector<std::string> args) {
    args.insert(args.begin(), "vorlith-cli");
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliRun run;
    run.Status = test::Await(table.Run(args, out, err));
    run.Out = Drain(out);
    run.Err = Drain(err);
    return run;
}

} // namespace vorlith::cli
