// The keyword table at 1,000,000 rows: import, sorts, Delete Selected with half the rows ticked,
// Save Results and the memory a row costs. VORLITH_BENCH_DATA names a folder to keep the input
// files in (for the pandas comparison); by default a temporary folder is used.
#include "gui/KeywordModel.h"
#include "workspace/ColumnSorting.h"
#include "workspace/Duplicates.h"
#include "workspace/KeywordTable.h"
#include "workspace/ListEditing.h"
#include "workspace/ResultsExport.h"
#include "workspace/RowFilter.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <numeric>
#include <random>

namespace vorlith {
namespace {

constexpr std::size_t Rows = 1'000'000;

std::string WithCommas(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

// Keywords of two to four words from a few thousand, as a suggestion service gives them.
struct Data {
    std::string Folder;
    std::string ListFile;
    std::vector<std::string> Keywords;
    std::vector<Cells> Table;

    Data() {
        const char* given = std::getenv("VORLITH_BENCH_DATA");
        if (given && *given) {
            Folder = given;
        } else {
            temp = std::make_unique<QTemporaryDir>();
            Folder = temp->path().toStdString();
        }
        ListFile = Folder + "/keywords.txt";
        std::mt19937_64 rng(42);
        std::vector<std::string> words;
        const char* syllables[] = {"gol", "f",  "clu", "bs", "soc", "cer", "ten", "nis", "ba", "ll",
                                   "sh",  "oe", "che", "ap", "be",  "st",  "ki",  "ds",  "on", "line"};
        for (int i = 0; i < 4000; ++i) {
            std::string w;
            const int parts = 1 + static_cast<int>(rng() % 3);
            for (int p = 0; p < parts; ++p)
                w += syllables[rng() % 20];
            words.push_back(w);
        }
        std::ofstream list(ListFile, std::ios::binary);
        Keywords.reserve(Rows);
        Table.reserve(Rows);
        for (std::size_t i = 0; i < Rows; ++i) {
            std::string k;
            const int count = 2 + static_cast<int>(rng() % 3);
            for (int w = 0; w < count; ++w) {
                if (w)
                    k += ' ';
                k += words[rng() % words.size()];
            }
            if (rng() % 4 == 0)
                k[0] = static_cast<char>(k[0] - 'a' + 'A');
            list << k << "\r\n";
            Table.push_back({k, WithCommas(rng() % 100000), WithCommas(rng() % 5'000'000'000ull),
                             WithCommas(rng() % 500'000'000), WithCommas(rng() % 100'000'000)});
            Keywords.push_back(std::move(k));
        }
    }

private:
    std::unique_ptr<QTemporaryDir> temp;
};

Data& Input() {
    static Data data;
    return data;
}

void Fill(KeywordTable& table) {
    std::vector<Cells> cells(Input().Table);
    table.AppendMany(std::move(cells));
}

void Shuffle(KeywordTable& table, std::mt19937& rng) {
    std::vector<std::size_t> order(static_cast<std::size_t>(table.RowCount()));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    table.Reorder(order);
}

void BM_ImportKeywordFile(benchmark::State& state) {
    const std::string& file = Input().ListFile;
    for (auto _ : state) {
        KeywordTable table;
        benchmark::DoNotOptimize(AppendKeywordFile(table, file));
        state.PauseTiming();
        table.DeleteAll();
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(Rows);
}

void BM_SortByCount(benchmark::State& state) {
    KeywordTable table;
    Fill(table);
    std::mt19937 rng(1);
    for (auto _ : state) {
        state.PauseTiming();
        Shuffle(table, rng);
        state.ResumeTiming();
        SortRows(table, static_cast<int>(Column::Google), true, QLocale::c());
    }
}

void BM_SortByKeywords(benchmark::State& state, const char* localeName) {
    KeywordTable table;
    Fill(table);
    const QLocale locale(QString::fromLatin1(localeName));
    std::mt19937 rng(2);
    for (auto _ : state) {
        state.PauseTiming();
        Shuffle(table, rng);
        state.ResumeTiming();
        SortRows(table, static_cast<int>(Column::Keywords), true, locale);
    }
}

void BM_DeleteSelectedHalf(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        KeywordTable table;
        Fill(table);
        for (int r = 0; r < table.RowCount(); r += 2)
            table.SetChecked(r, true);
        state.ResumeTiming();
        benchmark::DoNotOptimize(table.DeleteChecked());
        state.PauseTiming();
        table.DeleteAll();
        state.ResumeTiming();
    }
}

void BM_SaveResults(benchmark::State& state) {
    KeywordTable table;
    Fill(table);
    const std::string target = Input().Folder + "/results.csv";
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        WriteFileReplacingWith(target, [&](const ByteSink& sink) {
            WriteResultsCsv(table, nullptr, [&](std::string_view piece) {
                bytes += piece.size();
                sink(piece);
            });
        });
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

// Moving every row to a random new place: the part of every sort that does not depend on the keys.
void BM_ReorderRows(benchmark::State& state) {
    KeywordTable table;
    Fill(table);
    std::mt19937 rng(1);
    std::vector<std::size_t> order(Rows);
    for (auto _ : state) {
        state.PauseTiming();
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), rng);
        state.ResumeTiming();
        table.Reorder(order);
    }
}

// One typed letter in the filter box: from no filter to "g", then narrowing to "go", "gol".
void BM_FilterTypedLetter(benchmark::State& state) {
    KeywordTable table;
    Fill(table);
    KeywordModel shown(table);
    const char* typed[] = {"g", "go", "gol"};
    std::size_t step = 0, rows = 0;
    for (auto _ : state) {
        if (step % 3 == 0) {
            state.PauseTiming();
            shown.SetFilter("");
            state.ResumeTiming();
        }
        shown.SetFilter(typed[step++ % 3]);
        rows = static_cast<std::size_t>(shown.rowCount());
    }
    state.counters["shown_rows"] = static_cast<double>(rows);
}

void BM_RemoveDuplicates(benchmark::State& state) {
    const QLocale locale(QString::fromLatin1(state.range(0) ? "en_US" : "C"));
    std::size_t removed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        KeywordTable table;
        Fill(table);
        state.ResumeTiming();
        removed = RemoveDuplicateRows(table, locale);
        state.PauseTiming();
        table.DeleteAll();
        state.ResumeTiming();
    }
    state.counters["removed"] = static_cast<double>(removed);
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd; // small blocks and the mapped big ones
}

// Heap bytes an imported row costs beyond its keyword's bytes.
void BM_MemoryPerRow(benchmark::State& state) {
    double imported = 0;
    for (auto _ : state) {
        std::size_t text = 0;
        for (const auto& k : Input().Keywords)
            text += k.size();
        {
            const auto before = HeapInUse();
            KeywordTable table;
            AppendKeywordFile(table, Input().ListFile);
            imported = (static_cast<double>(HeapInUse() - before) - static_cast<double>(text)) / Rows;
        }
    }
    state.counters["imported_bytes_per_row"] = imported;
}

BENCHMARK(BM_ImportKeywordFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortByCount)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_SortByKeywords, C, "C")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_SortByKeywords, en_US, "en_US")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReorderRows)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DeleteSelectedHalf)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveResults)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FilterTypedLetter)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_RemoveDuplicates)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MemoryPerRow)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace vorlith

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    vorlith::Input(); // build the data before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
