// FetchPage against a local cpp-httplib server serving a 20 KB page: a new connection and a new
// scratch file every time. Beside it, curl fetching the same URL as often in one process.
#include "NullUi.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <httplib.h>
#include <string>
#include <thread>

namespace {

// A window that shows nothing but pumps like the real one.
class BenchUi final : public vorlith::bench::NullUi {};

std::string PageOf20KB() {
    std::string page = "<html><body>\n";
    while (page.size() < 20 * 1024 - 20)
        page += "<div class=\"r\"><a href=\"/x\">golf clubs</a> 12,345 results</div>\n";
    page.resize(20 * 1024 - 15);
    return page + "</body></html>\n";
}

struct Server {
    Server() {
        http.Get("/page", [page = PageOf20KB()](const httplib::Request&, httplib::Response& res) {
            res.set_content(page, "text/html");
        });
        port = http.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { http.listen_after_bind(); });
        // stop() does nothing to a server whose accept loop has not started yet: a run that only
        // lists the benchmarks would wait for ever at its end.
        while (!http.is_running())
            std::this_thread::yield();
    }
    ~Server() {
        http.stop();
        thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port) + "/page"; }

    httplib::Server http;
    int port = 0;
    std::thread thread;
};

Server* server = nullptr;

// The scratch file's folder: VORLITH_BENCH_FOLDER, else a temporary folder.
void BM_FetchPage(benchmark::State& state) {
    const char* chosen = std::getenv("VORLITH_BENCH_FOLDER");
    QTemporaryDir folder(chosen ? QString::fromLocal8Bit(chosen) + QStringLiteral("/bench-XXXXXX")
                                : QString());
    BenchUi ui;
    vorlith::Workspace ws(ui, folder.path().toStdString());
    const std::string url = server->Url();
    for (auto _ : state) {
        // The fetch is a coroutine: waitFor runs the event loop until it has ended.
        const vorlith::FetchResult fetched = QCoro::waitFor(vorlith::FetchPage(ws, url));
        if (!fetched.Ok) {
            state.SkipWithError("FetchPage failed");
            break;
        }
        benchmark::DoNotOptimize(fetched.Page.data());
    }
    state.counters["fetches_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 20 * 1024);
}
BENCHMARK(BM_FetchPage)->UseRealTime()->MinTime(3.0);

// curl, one process, the same URL state.range(0) times, a new connection each time.
void BM_CurlSameUrl(benchmark::State& state) {
    const std::string command = "curl -s -H 'Connection: close' '" + server->Url() + "?n=[1-" +
                                std::to_string(state.range(0)) + "]' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("curl failed (is it installed?)");
            break;
        }
    }
    state.counters["fetches_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CurlSameUrl)->Arg(3000)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Server local;
    server = &local;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
