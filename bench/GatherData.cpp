// Gather Data against the stand-in on loopback: rows a second (three fetches a row, each with a new
// connection and scratch file) and how late the event loop gets to a 5 ms timer meanwhile, which
// is how long a click on the window would wait.
#include "stats/GatherData.h"

#include "NullUi.h"
#include "StandinServer.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

namespace vorlith {
namespace {

// Chooses the precise search.
class BenchUi : public bench::NullUi {
public:
    std::optional<bool> AskSearchType() override { return true; }
};

// Records the gap between consecutive ticks beyond the timer's interval.
class LatencyProbe {
public:
    static constexpr int IntervalMs = 5;
    LatencyProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(IntervalMs);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
            lateness_.push_back(std::max(0.0, now - last_ - IntervalMs));
            last_ = now;
        });
    }
    void Start() {
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    void Stop() {
        timer_.stop();
        // The stretch from the last tick to the end counts too.
        const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        lateness_.push_back(std::max(0.0, now - last_ - IntervalMs));
    }
    double Max() const {
        return lateness_.empty() ? 0 : *std::max_element(lateness_.begin(), lateness_.end());
    }
    double Percentile(double p) const {
        if (lateness_.empty())
            return 0;
        std::vector<double> sorted = lateness_;
        std::sort(sorted.begin(), sorted.end());
        return sorted[static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1))];
    }
    std::size_t Ticks() const { return lateness_.size(); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0;
    std::vector<double> lateness_;
};

// Arguments: rows, the stand-in's latency before every answer (ms), its drip rate (bytes/s, 0 = full
// speed), and 1 to ask a row's engines at once.
void BM_GatherData(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    standin::Options options;
    options.LatencyMs = static_cast<int>(state.range(1));
    options.DripBytesPerSecond = static_cast<std::uint64_t>(state.range(2));
    standin::StandinServer server(options);
    const int port = server.Start();
    if (port <= 0) {
        state.SkipWithError("the stand-in did not start");
        return;
    }
    Endpoints endpoints;
    endpoints.GoogleSearchBase = endpoints.YahooSearchBase = endpoints.MsnSearchBase =
        "http://127.0.0.1:" + std::to_string(port);
    QTemporaryDir folder;
    BenchUi ui;
    Workspace ws(ui, folder.path().toStdString(), endpoints);
    ws.AskEnginesAtOnce = state.range(3) != 0;
    for (int i = 0; i < rows; ++i)
        ws.table.AppendKeyword("golf clubs " + std::to_string(i));

    LatencyProbe probe;
    for (auto _ : state) {
        probe.Start();
        GatherDataOrStop(ws);
        // The run goes on in the event loop, as in the window.
        QEventLoop loop;
        ws.Runs.WhenIdle([&loop] { loop.quit(); });
        if (!ws.Runs.Idle())
            loop.exec();
        probe.Stop();
    }
    server.Stop();
    int filled = 0;
    for (const auto& row : ws.table.Rows())
        filled += !row.Cell[2].empty() && !row.Cell[3].empty() && !row.Cell[4].empty();
    if (filled != rows)
        state.SkipWithError("not every row got its three counts");
    state.counters["rows_per_s"] = benchmark::Counter(
        static_cast<double>(rows) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["loop_p99_ms"] = probe.Percentile(0.99);
    state.counters["loop_max_ms"] = probe.Max();
    state.counters["ticks"] = static_cast<double>(probe.Ticks());
}

BENCHMARK(BM_GatherData)
    ->ArgNames({"rows", "latency_ms", "drip_Bps", "at_once"})
    ->Args({300, 0, 0, 0})
    ->Args({20, 20, 0, 0})
    ->Args({10, 0, 20000, 0})
    ->Args({40, 50, 0, 0})
    ->Args({40, 50, 0, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

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
