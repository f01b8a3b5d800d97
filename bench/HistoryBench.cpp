// Undo at 1,000,000 rows: Delete All and its undo and redo, Delete Selected of half the rows and
// its undo, with the bytes the history keeps; and Export XLSX of the million rows.
#include "NullUi.h"
#include "workspace/ListEditing.h"
#include "workspace/Workspace.h"
#include "workspace/XlsxExport.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

namespace vorlith {
namespace {

constexpr int Rows = 1'000'000;

void Fill(Workspace& ws) {
    std::mt19937 rng(7);
    std::vector<Cells> rows(Rows);
    for (int r = 0; r < Rows; ++r)
        rows[static_cast<std::size_t>(r)] = {"keyword number " + std::to_string(rng() % 100000) +
                                                 " golf shoes",
                                             std::to_string(rng() % 100000), "1,234,567", "", "-"};
    ws.table.AppendMany(std::move(rows));
}

void BM_DeleteAllThenUndoAndRedo(benchmark::State& state) {
    bench::NullUi ui;
    Workspace ws(ui, "/tmp");
    Fill(ws);
    DeleteAll(ws);
    for (auto _ : state) {
        ws.History.Undo();
        benchmark::DoNotOptimize(ws.table.RowCount());
        ws.History.Redo();
    }
    state.counters["history_bytes"] = static_cast<double>(ws.History.Bytes());
}
BENCHMARK(BM_DeleteAllThenUndoAndRedo)->Unit(benchmark::kMillisecond);

void BM_UndoDeleteSelectedHalf(benchmark::State& state) {
    bench::NullUi ui;
    Workspace ws(ui, "/tmp");
    Fill(ws);
    for (int r = 0; r < Rows; r += 2)
        ws.table.SetChecked(r, true);
    const std::size_t tableBytes = ws.table.ArenaBytes() + 40u * Rows;
    for (auto _ : state) {
        state.PauseTiming();
        DeleteSelected(ws);
        state.counters["history_to_table"] = static_cast<double>(ws.History.Bytes()) / tableBytes;
        state.ResumeTiming();
        ws.History.Undo();
        benchmark::DoNotOptimize(ws.table.RowCount());
    }
}
BENCHMARK(BM_UndoDeleteSelectedHalf)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportXlsx(benchmark::State& state) {
    bench::NullUi ui;
    Workspace ws(ui, "/tmp");
    Fill(ws);
    QTemporaryDir folder;
    for (auto _ : state) {
        TableWork::Control control;
        WriteXlsx(ws.table.Copy(), folder.filePath(QStringLiteral("out.xlsx")).toStdString(), control);
    }
}
BENCHMARK(BM_ExportXlsx)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace vorlith

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
