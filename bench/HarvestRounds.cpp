// Gather Keywords in rounds: 8 sources on the stand-in, each answering after 150 ms with no
// Delay, asked with the a-z expansion (27 rounds, 216 requests). Asked one after another this
// would take 216 x 0.15 s; in parallel each round costs one answer's wait.
#include "NullUi.h"
#include "StandinServer.h"
#include "harvest/Harvest.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <optional>

namespace vorlith {
namespace {

constexpr const char* Shapes[][2] = {{"json", "1/*"},           {"jsonp", "1/*/0"},  {"phrases", "*/phrase"},
                                     {"amazon", "suggestions/*/value"}, {"yahoo", "r/*/k"}, {"json", "1/*"},
                                     {"phrases", "*/phrase"},   {"yahoo", "r/*/k"}};

// Arguments: sources, the stand-in's wait before each answer (ms).
void BM_HarvestRounds(benchmark::State& state) {
    const int sources = static_cast<int>(state.range(0));
    standin::Options options;
    options.Quiet = true;
    standin::StandinServer server(options);
    if (server.Start() <= 0) {
        state.SkipWithError("the stand-in did not start");
        return;
    }
    QTemporaryDir folder;
    {
        std::ofstream file(folder.filePath(QStringLiteral("sources.ini")).toStdString());
        file << "[Suggest builtin]\nEnabled=0\n"; // the stand-in's sources alone
        for (int i = 0; i < sources; ++i)
            file << "[Suggest s" << i << "]\nName=S" << i << "\nURL=http://127.0.0.1:" << server.Port() << "/sources/"
                 << Shapes[i % 8][0] << "?delay=" << state.range(1) << "&q={query}\nQuery=percent\nFormat="
                 << (std::string(Shapes[i % 8][0]) == "jsonp" ? "jsonp" : "json") << "\nPath=" << Shapes[i % 8][1]
                 << "\nEnabled=1\n";
    }
    bench::NullUi ui;
    int requests = 0, rows = 0;
    for (auto _ : state) {
        Workspace ws(ui, folder.path().toStdString());
        ws.MainKeyword = "golf clubs";
        ws.Harvest.Expand = Expansion::AZ;
        std::optional<HarvestEnd> end;
        auto run = [&]() -> QCoro::Task<void> { end = co_await GatherKeywords(ws); };
        const QCoro::Task<void> running = run();
        QEventLoop loop;
        while (!end)
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        requests = ws.LastHarvest.Requests;
        rows = ws.table.RowCount();
    }
    server.Stop();
    state.counters["requests"] = requests;
    state.counters["rows"] = rows;
    if (requests != sources * 27)
        state.SkipWithError(("not every request was made: " + std::to_string(requests)).c_str());
}

BENCHMARK(BM_HarvestRounds)
    ->ArgNames({"sources", "wait_ms"})
    ->Args({8, 150})
    ->Args({1, 150})
    ->Args({8, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
} // namespace vorlith

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
