// Reading suggestion pages: a large ordinary page, and a hostile one whose rows never carry a
// keyword link (each row would otherwise rescan the rest of the page).
#include "NullUi.h"
#include "harvest/Suggestions.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace vorlith;

// A window that shows nothing: the figures are the reading's own.
using bench::NullUi;

// markup: put an entity into every keyword, so that each one needs the full cleanup.
std::string SuggestionPage(int suggestions, bool markup) {
    std::string page =
        "<html><body><table class=\"results\"><thead><tr><th>Searches</th><th>Keyword</th></tr>"
        "</thead>\r\n<tfoot><tr><td colspan=2>Wordtracker</td></tr></tfoot>\r\n<tbody>\r\n";
    for (int i = 0; i < suggestions; ++i)
        page += "<tr><td>" + std::to_string(1000 + i * 37) + "</td><td><a href=\"/?seed=golf+clubs+" +
                std::to_string(i) + "\">golf clubs " + (markup ? "&amp; " : "") + "balls " +
                std::to_string(i) + "</a></td></tr>\r\n";
    return page + "</tbody></table></body></html>\r\n";
}

void Read(benchmark::State& state, const std::string& page) {
    NullUi ui;
    Workspace ws(ui, "/tmp");
    std::int64_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ws.table.DeleteAll();
        state.ResumeTiming();
        ParseSuggestions(ws, page);
        rows += ws.table.RowCount();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
    state.counters["rows"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}

void BM_ParseSuggestions(benchmark::State& state) {
    Read(state, SuggestionPage(static_cast<int>(state.range(0)), false));
}
BENCHMARK(BM_ParseSuggestions)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ParseSuggestionsMarkedUp(benchmark::State& state) {
    Read(state, SuggestionPage(static_cast<int>(state.range(0)), true));
}
BENCHMARK(BM_ParseSuggestionsMarkedUp)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ParseSuggestionsWithoutLinks(benchmark::State& state) {
    std::string page = "</tfoot><tbody>";
    for (std::int64_t i = 0; i < state.range(0); ++i)
        page += "<tr><td>1</td></tr>";
    Read(state, page);
}
BENCHMARK(BM_ParseSuggestionsWithoutLinks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
