// A server that answers every request with 200 new cookies of 200 bytes: what storing them and
// building the next request's Cookie header cost over 100 and over 1,000 requests. The store's
// limits keep each request's cost flat, so 1,000 cost about ten times 100.
#include "net/CookieStore.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <string>

namespace {

void BM_CookieFlood(benchmark::State& state) {
    const auto requests = static_cast<int>(state.range(0));
    const vorlith::HttpAddress address = vorlith::ParseHttpAddress("http://engine.example/search?q=golf");
    std::size_t longestHeader = 0;
    for (auto _ : state) {
        vorlith::CookieStore store;
        int next = 0;
        for (int request = 0; request < requests; ++request) {
            longestHeader = std::max(longestHeader, store.CookieHeader(address).size());
            vorlith::HttpResponseHead head;
            head.Status = 200;
            for (int i = 0; i < 200; ++i)
                head.Headers.push_back(
                    {"Set-Cookie", "c" + std::to_string(next++) + "=" + std::string(200, 'v') + "; Path=/"});
            store.StoreFromAnswer(head, address);
        }
        state.counters["stored"] = store.Count();
    }
    state.counters["longest_header"] = static_cast<double>(longestHeader);
}
BENCHMARK(BM_CookieFlood)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
