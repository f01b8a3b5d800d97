// Editing, sorting and saving the keyword table from the terminal: the buttons of the window.
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "workspace/ColumnSorting.h"
#include "workspace/DialogRules.h"
#include "workspace/Duplicates.h"
#include "workspace/KeywordTable.h"
#include "workspace/ListEditing.h"
#include "workspace/ResultsExport.h"
#include "workspace/ResultsImport.h"
#include "workspace/RowFilter.h"
#include "workspace/Workspace.h"
#include "workspace/XlsxExport.h"

#include <strings.h>

namespace vorlith::cli {

namespace {

// The add keywords dialog with one box filled, refusing as the dialog would.
int AddKeywords(CliContext& context, AddKeywordsAnswer answer) {
    answer.Options = context.Import;
    if (const auto refusal = AddKeywords(context.Ws, answer)) {
        context.Ui.ShowMessage(MessageKind::Information, *refusal, MessageButtons::Ok);
        return ExitFailed;
    }
    return ExitOk;
}

// A column by its index (0 to 5) or its header, in any case.
int ColumnNamed(const std::string& name) {
    for (int c = 0; c < ColumnCount; ++c)
        if (name == std::to_string(c) ||
            ::strcasecmp(name.c_str(), Columns[static_cast<std::size_t>(c)].Header) == 0)
            return c;
    return -1;
}

int Sort(CliContext& context, const Arguments& given) {
    const int column = ColumnNamed(given[0]);
    if (column < 0) {
        std::fprintf(context.Err,
                     "--sort: no column \"%s\" (0 to 5, or No, Keywords, Searches, Google, Yahoo, Msn)\n",
                     given[0].c_str());
        return ExitUsage;
    }
    SortByColumn(context.Ws, column);
    return ExitOk;
}

// Save Results with the dialog answered by the given name; "-" writes the CSV to standard output.
// Exits with 1 when nothing was saved.
int Save(CliContext& context, const Arguments& given, const std::vector<int>* rows) {
    Workspace& ws = context.Ws;
    if (rows ? rows->empty() : ws.table.RowCount() == 0) {
        context.Ui.ShowMessage(MessageKind::Information, NoDataToSaveMessage, MessageButtons::Ok);
        return ExitFailed;
    }
    const RowSourceNames* sources = ws.SourceColumnShown ? &ws.RowSources : nullptr;
    if (given[0] == "-") {
        bool wrote = true;
        WriteResultsCsv(
            ws.table, rows, [&](std::string_view piece) { wrote = wrote && WriteAll(context.Out, piece); }, sources);
        if (!wrote) {
            std::fprintf(context.Err, "--save: cannot write the table to standard output\n");
            return ExitFailed;
        }
        // Only the whole table counts as saved work.
        if (!rows)
            ws.MarkSaved();
        return ExitOk;
    }
    if (const auto failed = SaveRowsTo(ws, given[0], rows)) {
        context.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
        return ExitFailed;
    }
    return ExitOk;
}

// Set before any command runs: an option written after its --keywords still applies to it.
Command ImportOption(const char* name, const char* help, bool ImportOptions::*option) {
    return {name, {}, help, [option](CliSetup& setup, const Arguments&) { setup.Import.*option = true; }, {}};
}

// Export XLSX to the given name; the workbook is written off the event loop's thread.
QCoro::Task<int> SaveXlsx(CliContext& context, const Arguments& given) {
    if (context.Ws.table.RowCount() == 0) {
        context.Ui.ShowMessage(MessageKind::Information, NoDataToSaveMessage, MessageButtons::Ok);
        co_return ExitFailed;
    }
    const std::optional<std::string> failed = co_await ExportXlsxTo(context.Ws, given[0]);
    if (failed) {
        context.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
        co_return ExitFailed;
    }
    co_return ExitOk;
}

Command Button(const char* name, const char* help, void (*click)(Workspace&)) {
    return {name, {}, help, {}, [click](CliContext& context, const Arguments&) {
                click(context.Ws);
                return ExitOk;
            }};
}

} // namespace

void RegisterTableCommands(CommandTable& table) {
    table.Add({"--add",
               {"TEXT"},
               "Add Keywords: TEXT as one keyword row, commas and spaces kept",
               {},
               [](CliContext& context, const Arguments& given) {
                   return AddKeywords(context, {given[0], ""});
               },
               {},
               true});
    table.Add({"--keywords",
               {"FILE"},
               "Add Keywords: one row per line of FILE, after the rows already there",
               {},
               [](CliContext& context, const Arguments& given) {
                   return AddKeywords(context, {"", given[0]});
               },
               {},
               true});
    table.Add(Button("--select-all", "Select All: tick every row", SelectAll));
    table.Add(Button("--clear-selection", "Clear Selection: untick every row", ClearSelection));
    table.Add(Button("--delete-selected", "Delete Selected: remove the ticked rows (asks; see --yes)",
                     DeleteSelected));
    table.Add(Button("--delete-all", "Delete All: remove every row (asks; see --yes)", DeleteAll));
    table.Add({"--sort",
               {"COLUMN"},
               "a click on the header of COLUMN (0-5 or its name); the same column again reverses",
               {},
               Sort});
    table.Add({"--save",
               {"FILE|-"},
               "Save Results to FILE (\".csv\" appended unless it ends so), or to standard output for -",
               {},
               [](CliContext& context, const Arguments& given) { return Save(context, given, nullptr); }});
    table.Add(
        {"--filter",
         {"TEXT"},
         "the filter box: later --save-shown writes only rows whose keyword contains TEXT, case ignored, and "
         "later --select-all and --clear-selection act on those rows only",
         {},
         [](CliContext& context, const Arguments& given) {
             context.Ws.Filter = given[0];
             return ExitOk;
         }});
    table.Add({"--save-shown",
               {"FILE|-"},
               "Save Shown: like --save, but only the rows the filter shows",
               {},
               [](CliContext& context, const Arguments& given) {
                   const std::vector<int> rows = ShownRows(context.Ws);
                   return Save(context, given, &rows);
               }});
    table.Add({"--open",
               {"FILE"},
               "Open Results: append the rows of a CSV or TSV file (one Save Results wrote, or one whose "
               "header names a Keyword, Keywords or Query column)",
               {},
               [](CliContext& context, const Arguments& given) {
                   if (const auto failed = OpenResultsFrom(context.Ws, given[0])) {
                       context.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
                       return ExitFailed;
                   }
                   return ExitOk;
               }});
    table.Add(
        {"--save-xlsx",
         {"FILE"},
         "Export XLSX to FILE (\".xlsx\" appended unless it ends so): counts as numbers, keywords as text",
         {},
         {},
         SaveXlsx});
    table.Add(Button("--remove-duplicates",
                     "Remove Duplicates: keep the first of rows with equal keywords (case ignored)",
                     RemoveDuplicates));
    table.Add(ImportOption("--trim", "every --keywords and --add strips blanks and control bytes from both ends of a line",
                           &ImportOptions::Trim));
    table.Add(ImportOption("--skip-blank", "every import skips lines that are empty (after --trim)",
                           &ImportOptions::SkipBlank));
    table.Add(ImportOption("--skip-existing",
                           "every import skips keywords already in the table (case ignored)",
                           &ImportOptions::SkipExisting));
}

} // namespace vorlith::cli
