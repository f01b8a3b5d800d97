// Throughput of the text operations at 1x, 4x and 16x input sizes (time must grow linearly), and of
// the plain front-erasing / search-from-the-start versions on inputs 1/1024 of the size (they grow
// quadratically and cannot run on the full sizes).
#include "../tests/text/TextReference.h"
#include "text/UUtils.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

constexpr int kReferenceDivisor = 1024;

// 100,000 rows of 100 bytes each (10 MB) per unit of scale.
std::string SuggestionPage(std::size_t rows) {
    std::string page = "<html><body><table>\n";
    page.reserve(rows * 100 + 64);
    for (std::size_t i = 0; i < rows; ++i) {
        std::string row = "<tr><td class=k>golf clubs " + std::to_string(i) + "</td><td>" +
                          std::to_string(i * 7 % 100000) + "</td></tr>";
        row.resize(99, ' ');
        page += row + '\n';
    }
    return page + "</table></body></html>";
}

// 1 MB of dense markup per unit of scale: tags of the clean list, entities and line breaks.
std::string DenseMarkup(std::size_t megabytes) {
    const std::string chunk = "<tr><td><b>golf&nbsp;clubs</b></td><td>&amp;1,234</td></tr>\r\n"
                              "<TR><TD><strong>Tel : 12</strong><br>x<BR>&#039;\"q\"</TD></TR>\t<p>p</p>\n";
    std::string text;
    text.reserve(megabytes << 20);
    while (text.size() + chunk.size() <= (megabytes << 20))
        text += chunk;
    return text;
}

// 1,000,000 occurrences of "&amp;" per unit of scale.
std::string AmpText(std::size_t occurrences) {
    std::string text;
    text.reserve(occurrences * 7);
    for (std::size_t i = 0; i < occurrences; ++i)
        text += "ab&amp;";
    return text;
}

std::size_t CutAll(std::string_view buffer) {
    std::size_t cuts = 0;
    while (true) {
        const std::string_view keyword = vorlith::ExtractBetween(buffer, "<td class=k>", "</td>");
        if (keyword.empty())
            break;
        benchmark::DoNotOptimize(vorlith::ExtractBetween(buffer, "<td>", "</td>"));
        ++cuts;
    }
    return cuts;
}

void ExtractBetweenPage(benchmark::State& state) {
    const std::string page = SuggestionPage(100000 * std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(CutAll(page));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(page.size()));
}
BENCHMARK(ExtractBetweenPage)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void ReferenceExtractBetweenPage(benchmark::State& state) {
    const std::string page = SuggestionPage(100000 * std::size_t(state.range(0)) / kReferenceDivisor);
    for (auto _ : state) {
        std::string buffer = page;
        while (!vorlith::reference::ExtractBetween(buffer, "<td class=k>", "</td>").empty())
            benchmark::DoNotOptimize(vorlith::reference::ExtractBetween(buffer, "<td>", "</td>"));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(page.size()));
}
BENCHMARK(ReferenceExtractBetweenPage)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void CleanHtmlDense(benchmark::State& state) {
    const std::string text = DenseMarkup(std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(vorlith::CleanHtml(text));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(CleanHtmlDense)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

void ReferenceCleanHtmlDense(benchmark::State& state) {
    const std::string text = DenseMarkup(std::size_t(state.range(0)))
                                 .substr(0, (std::size_t(state.range(0)) << 20) / kReferenceDivisor);
    for (auto _ : state)
        benchmark::DoNotOptimize(vorlith::reference::CleanHtml(text));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(ReferenceCleanHtmlDense)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// The values that keyword harvesting cleans: one keyword with a tag or an entity, one count.
void CleanHtmlShortValues(benchmark::State& state) {
    const std::string keyword = "<b>golf&nbsp;clubs</b>";
    const std::string count = "12,345";
    for (auto _ : state) {
        benchmark::DoNotOptimize(vorlith::CleanHtml(keyword));
        benchmark::DoNotOptimize(vorlith::CleanHtml(count));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 2);
}
BENCHMARK(CleanHtmlShortValues);

void ReplaceAllAmp(benchmark::State& state) {
    const std::string text = AmpText(1000000 * std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(vorlith::ReplaceAll(text, "&amp;", "&"));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(ReplaceAllAmp)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// Dense markup (1 MB per unit of scale) with "&amp;" once in every 64 KB: a rare pattern among
// many other entities.
void ReplaceAllRare(benchmark::State& state) {
    std::string text = vorlith::ReplaceAll(DenseMarkup(std::size_t(state.range(0))), "&amp;", "&#38;");
    for (std::size_t at = 0; at + 5 <= text.size(); at += 64 * 1024)
        text.replace(at, 5, "&amp;");
    for (auto _ : state)
        benchmark::DoNotOptimize(vorlith::ReplaceAll(text, "&amp;", "&"));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(ReplaceAllRare)->Arg(16)->Unit(benchmark::kMillisecond);

void ReferenceReplaceAllAmp(benchmark::State& state) {
    const std::string text = AmpText(1000000 * std::size_t(state.range(0)) / kReferenceDivisor);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            vorlith::reference::ReplaceAllLiteral(text, "&amp;", "&", std::string::npos));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(ReferenceReplaceAllAmp)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
