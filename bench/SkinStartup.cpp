// Start-up with the largest skin the program accepts: from constructing the main window (which
// reads dbconfig.dat and dbskin.dat and applies the style sheet) until it has been shown and has
// handled its pending events. Target: under 300 ms.
#include "branding/SkinFile.h"
#include "gui/FMain.h"
#include "gui/widgets/Skin.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <ctime>
#include <fstream>
#include <string>

namespace {

// Rules as a skin writes them, for the window's own classes and object names, repeated until
// the style sheet is as large as allowed.
std::string LargestStyleSheet() {
    const char* const selectors[] = {"QPushButton", "QLabel",    "QTreeView",    "QHeaderView::section",
                                     "QStatusBar",  "QLineEdit", "QProgressBar", "QWidget"};
    std::string sheet;
    for (int n = 0;; ++n) {
        char rule[320];
        const int length = std::snprintf(
            rule, sizeof rule,
            "%s#control%d:hover { color: #%06x; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
            "stop:0 #%06x, stop:1 #%06x); border: 1px solid #%06x; border-radius: %dpx; padding: %dpx; }\n",
            selectors[n % 8], n, (n * 2654435761u) & 0xFFFFFF, (n * 40503u) & 0xFFFFFF,
            (n * 2246822519u) & 0xFFFFFF, (n * 3266489917u) & 0xFFFFFF, n % 7, n % 5);
        if (sheet.size() + static_cast<std::size_t>(length) > vorlith::MaxSkinStyleSheetSize ||
            static_cast<std::size_t>(n) + 1 > vorlith::MaxSkinSelectors)
            return sheet;
        sheet.append(rule, static_cast<std::size_t>(length));
    }
}

double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// A hostile skin's shape: rules that every widget matches, repeated up to the cap.
std::string LargestMatchingStyleSheet() {
    std::string sheet;
    for (int n = 0;; ++n) {
        const std::string rule = "QWidget { color: #" + std::to_string(100000 + n % 800000) + "; }\n";
        if (sheet.size() + rule.size() > vorlith::MaxSkinStyleSheetSize ||
            static_cast<std::size_t>(n) + 1 > vorlith::MaxSkinSelectors)
            return sheet;
        sheet += rule;
    }
}

void BM_StartWithLargestSkin(benchmark::State& state) {
    QTemporaryDir folder;
    const std::string sheet = state.range(0) == 0 ? LargestStyleSheet() : LargestMatchingStyleSheet();
    {
        std::ofstream(folder.filePath(QStringLiteral("dbskin.dat")).toStdString(), std::ios::binary)
            << vorlith::PackSkin(sheet);
        std::ofstream(folder.filePath(QStringLiteral("dbconfig.dat")).toStdString(), std::ios::binary)
            << "[Settings]\r\nAppName=Skin bench\r\n";
    }
    for (auto _ : state) {
        const double cpu = CpuSeconds();
        vorlith::ApplySkin(vorlith::BuiltInSkin());
        {
            vorlith::TfrmMain window(folder.path().toStdString() + "/");
            window.show();
            QApplication::processEvents();
        }
        state.counters["cpu_s"] = CpuSeconds() - cpu;
    }
    state.counters["sheet_bytes"] = static_cast<double>(sheet.size());
}
// 0: rules for the window's own controls; 1: rules that match every widget.
BENCHMARK(BM_StartWithLargestSkin)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The built-in skin alone, for comparison.
void BM_StartWithBuiltInSkin(benchmark::State& state) {
    QTemporaryDir folder;
    for (auto _ : state) {
        vorlith::ApplySkin(vorlith::BuiltInSkin());
        vorlith::TfrmMain window(folder.path().toStdString() + "/");
        window.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_StartWithBuiltInSkin)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

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
