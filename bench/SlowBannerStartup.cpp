// Start-up with a metafile banner that is slow to decode (a WMF declaring the largest picture the
// program accepts): the time from constructing the main window until it is shown and has handled
// its pending events, then until the banner is in it.
#include "gui/FMain.h"
#include "support/MetafileWriter.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QThreadPool>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>

namespace {

std::string HugeWmf() {
    vorlith::test::WmfWriter wmf(0, 0, 5792, 5792, 96);
    wmf.Select(wmf.CreateSolidBrush(vorlith::test::SampleFill));
    for (int i = 0; i < 200; ++i)
        wmf.Rectangle(static_cast<std::int16_t>(i), 0, 5792, static_cast<std::int16_t>(5792 - i));
    return wmf.Finish();
}

void BM_StartWithSlowBanner(benchmark::State& state) {
    QTemporaryDir folder;
    std::ofstream(folder.filePath(QStringLiteral("dbconfig.dat")).toStdString(), std::ios::binary)
        << "[Settings]\r\nBannerPath1=banner.wmf\r\n";
    std::ofstream(folder.filePath(QStringLiteral("dbimg1.dat")).toStdString(), std::ios::binary) << HugeWmf();
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto start = Clock::now();
        vorlith::TfrmMain window(folder.path().toStdString() + "/");
        window.show();
        QApplication::processEvents();
        const auto shown = Clock::now();
        auto* banner = window.findChild<QLabel*>(QStringLiteral("imgBanner"));
        // Sleeps until an event comes: the decode's end is one, within the helper's deadline.
        while (banner->pixmap().isNull() && Clock::now() - start < std::chrono::seconds(5))
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.counters["shown_ms"] = std::chrono::duration<double, std::milli>(shown - start).count();
        state.counters["banner_ms"] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        QThreadPool::globalInstance()->waitForDone();
    }
}
BENCHMARK(BM_StartWithSlowBanner)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
