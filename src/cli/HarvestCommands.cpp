// Main Keyword and Gather Keywords from the terminal.
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "harvest/Harvest.h"
#include "harvest/Rounds.h"
#include "workspace/DialogRules.h"
#include "workspace/MainKeyword.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

#include <algorithm>

namespace vorlith::cli {

namespace {

void PrintLine(std::FILE* file, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

// The main keyword dialog answered with TEXT; it refuses empty text as the dialog does.
int MainKeyword(CliContext& context, const Arguments& given) {
    if (const auto refusal = SetMainKeyword(context.Ws, given[0])) {
        context.Ui.ShowMessage(MessageKind::Information, *refusal, MessageButtons::Ok);
        return ExitFailed;
    }
    return ExitOk;
}

// Fails when there was no main keyword or the service could not be reached; the outcome and the
// item count go to standard error.
QCoro::Task<int> GatherKeywords(CliContext& context, const Arguments&) {
    Workspace& ws = context.Ws;
    SaySourceNews(context);
    const HarvestEnd end = co_await GatherKeywords(ws);
    context.Ui.RethrowReportedError();
    if (end == HarvestEnd::Refused)
        co_return ExitFailed;
    PrintStatus(context);
    SaySourceNews(context);
    if (end == HarvestEnd::ChallengeCancelled) {
        PrintLine(context.Err, "Gather Keywords: the security image was cancelled; nothing was gathered");
        co_return ExitFailed;
    }
    PrintLine(context.Err, ws.SecondStatusText());
    PrintLine(context.Err, HarvestSummaryLine(ws));
    co_return end == HarvestEnd::Read && !ws.LastHarvest.AllFailed ? ExitOk : ExitFailed;
}

// --sources ID[,ID...]: every id must name a suggestion source of the file or the built-in one.
int ChooseSources(CliContext& context, const Arguments& given) {
    std::vector<std::string> ids;
    std::string_view rest = given[0];
    while (true) {
        const auto comma = rest.find(',');
        const std::string id(rest.substr(0, comma));
        const SourceEntry* entry = context.Ws.Sources.FindSuggest(id);
        if (!entry) {
            std::fprintf(context.Err, "--sources: no suggestion source \"%s\" (see --list-sources)\n", id.c_str());
            return ExitUsage;
        }
        if (std::find(ids.begin(), ids.end(), entry->Id) == ids.end())
            ids.push_back(entry->Id);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    context.Ws.Harvest.SourceIds = std::move(ids);
    return ExitOk;
}

int ChooseExpansion(CliContext& context, const Arguments& given) {
    const std::optional<Expansion> expand = ParseExpansion(given[0]);
    if (!expand) {
        std::fprintf(context.Err, "--expand: \"%s\" is none of none, az, az09, questions, prepositions\n",
                     given[0].c_str());
        return ExitUsage;
    }
    context.Ws.Harvest.Expand = *expand;
    return ExitOk;
}

int ChooseDepth(CliContext& context, const Arguments& given) {
    if (given[0] != "1" && given[0] != "2") {
        std::fprintf(context.Err, "--depth: \"%s\" is neither 1 nor 2\n", given[0].c_str());
        return ExitUsage;
    }
    context.Ws.Harvest.Depth = given[0] == "1" ? 1 : 2;
    return ExitOk;
}

// One line per entry: id, name, format, enabled; broken sections last, marked.
int ListSources(CliContext& context, const Arguments&) {
    const SourcesList& sources = context.Ws.Sources;
    const auto line = [&](std::string_view kind, const SourceEntry& entry) {
        std::fprintf(context.Out, "%.*s %s\t%s\t%.*s\t%s\n", static_cast<int>(kind.size()), kind.data(),
                     entry.Id.c_str(), entry.Name.c_str(), static_cast<int>(FormatName(entry.Format).size()),
                     FormatName(entry.Format).data(), entry.Enabled ? "enabled" : "disabled");
    };
    for (const SourceEntry& entry : sources.Suggest)
        line("Suggest", entry);
    for (const SourceEntry& entry : sources.Counts)
        line("Count", entry);
    for (const std::string& section : sources.BrokenSections)
        std::fprintf(context.Out, "[%s]\tbroken: left out\n", section.c_str());
    SaySourceNews(context);
    return ExitOk;
}

} // namespace

void RegisterHarvestCommands(CommandTable& table) {
    table.Add({"--main-keyword", {"TEXT"}, "accept TEXT in the main keyword dialog", {}, MainKeyword});
    table.Add({"--gather-keywords",
               {},
               "gather keywords for the main keyword; a security image's address is printed and its "
               "answer read from standard input (end of input: Cancel)",
               {},
               {},
               GatherKeywords});
    table.Add({"--sources",
               {"ID[,ID...]"},
               "later --gather-keywords asks these sources of sources.ini (\"builtin\": the built-in one)",
               {},
               ChooseSources});
    table.Add({"--expand",
               {"none|az|az09|questions|prepositions"},
               "later --gather-keywords also asks the main keyword with a-z, a-z and 0-9, question words or "
               "prepositions",
               {},
               ChooseExpansion});
    table.Add({"--depth", {"1|2"}, "2: later --gather-keywords asks every suggestion again", {}, ChooseDepth});
    table.Add({"--list-sources",
               {},
               "print the suggestion sources and count engines: id, name, format, enabled; broken ones marked",
               {},
               ListSources});
    table.Add({"--parallel",
               {},
               "later --gather-data and --retry-failed ask a row's three engines at the same time, each on a "
               "kept connection",
               {},
               [](CliContext& context, const Arguments&) {
                   context.Ws.AskEnginesAtOnce = true;
                   return ExitOk;
               }});
    table.Add({"--with-source",
               {},
               "later saves add the Source column: the sources that suggested each row",
               {},
               [](CliContext& context, const Arguments&) {
                   context.Ws.SourceColumnShown = true;
                   return ExitOk;
               }});
}

void SaySourceNews(CliContext& context) {
    Workspace& ws = context.Ws;
    if (!context.SourceProblemsSaid)
        for (const std::string& problem : ws.Sources.Problems)
            PrintLine(context.Err, problem);
    context.SourceProblemsSaid = true;
    for (const std::string& notice : ws.BlockedNotices)
        PrintLine(context.Err, notice);
    ws.BlockedNotices.clear();
}

} // namespace vorlith::cli
