#include "harvest/Rounds.h"

#include "harvest/Challenge.h"
#include "harvest/Suggestions.h"
#include "workspace/KeywordKeys.h"
#include "workspace/PageFetcher.h"
#include "workspace/SourceFetch.h"
#include "workspace/SourceFormats.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

#include <QLocale>
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <unordered_map>
#include <unordered_set>

namespace vorlith {

namespace {

using Clock = std::chrono::steady_clock;

struct SourceRun {
    const SourceEntry* Entry = nullptr;
    std::unique_ptr<HttpClient> Client;
    std::optional<Clock::time_point> LastStart;
    std::string BlockReason;
    bool BlockSaid = false;
    int Read = 0;
};

std::string SourceAddress(const Workspace& ws, const SourceEntry& entry, std::string_view query) {
    if (!entry.Polite())
        return SuggestionAddress(ws.Endpoints.SuggestionServiceBase, query);
    return FillQuery(entry.Url, EncodeQuery(query, entry.Query));
}

// One source's answer to one round. Never throws: the other sources' requests of the round are
// still under way on this frame's data.
QCoro::Task<std::vector<Suggestion>> AskSource(Workspace& ws, SourceRun& run, std::string query, int pauseMs,
                                               CancelToken cancel) {
    std::vector<Suggestion> found;
    try {
        const SourceEntry& entry = *run.Entry;
        if (run.LastStart && pauseMs > 0) {
            const auto due = *run.LastStart + std::chrono::milliseconds(pauseMs);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
            const bool waited = co_await PauseUnlessCancelled(static_cast<int>(std::max<long long>(left.count(), 0)),
                                                               cancel);
            if (!waited)
                co_return found;
        }
        run.LastStart = Clock::now();
        SourceAnswer answer = co_await AskEntry(*run.Client, entry, SourceAddress(ws, entry, query), cancel);
        ws.LastHarvest.Requests += answer.Requests;
        if (answer.What == SourceAnswer::Outcome::Blocked)
            run.BlockReason = answer.Reason;
        if (answer.What != SourceAnswer::Outcome::Read)
            co_return found;
        if (!entry.Polite()) {
            std::string page = std::move(answer.Text);
            if (HasChallenge(page)) {
                const bool answered = co_await AnswerChallenge(ws, page);
                if (!answered)
                    co_return found;
            }
            ++run.Read;
            co_return ReadSuggestions(page);
        }
        ReadTexts read = ReadEntryTexts(entry, answer.Text);
        if (!read.Error.empty())
            co_return found;
        ++run.Read;
        for (std::string& text : read.Texts)
            found.push_back({std::move(text), {}});
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "Gather Keywords");
    }
    co_return found;
}

// The rows of a harvest: appended in order; with merging, a keyword this harvest already appended
// only gets the source's name added.
class Appender {
public:
    Appender(Workspace& ws, bool merge) : ws_(ws), merge_(merge), keys_(QLocale::system()) {}

    // One source's answer, in order; returns the keywords of the rows it appended. They go in
    // with one notice: a notice a row costs the window a pass over its rows each, at a million
    // rows a long stall a round. A keyword twice in one answer only ever adds the same name.
    std::vector<std::string> AddAll(std::vector<Suggestion> found, const std::string& sourceName) {
        std::vector<Cells> rows;
        std::vector<std::string> keywords, newKeys;
        std::unordered_set<std::string> inAnswer;
        for (Suggestion& suggestion : found) {
            std::string key;
            if (merge_) {
                keys_.Append(suggestion.Keyword, key);
                if (const auto seen = appended_.find(key); seen != appended_.end()) {
                    AddName(seen->second, sourceName);
                    continue;
                }
                if (!inAnswer.insert(key).second)
                    continue;
            }
            keywords.push_back(suggestion.Keyword);
            rows.push_back({std::move(suggestion.Keyword), std::move(suggestion.Count), {}, {}, {}});
            newKeys.push_back(std::move(key));
        }
        const int first = ws_.table.RowCount();
        if (!rows.empty())
            ws_.table.AppendMany(std::move(rows));
        for (std::size_t i = 0; i < newKeys.size(); ++i) {
            const RowId id = ws_.table.Id(first + static_cast<int>(i));
            ws_.RowSources[id] = sourceName;
            if (merge_)
                appended_.emplace(std::move(newKeys[i]), id);
            ++ws_.LastHarvest.NewKeywords;
        }
        return keywords;
    }

private:
    void AddName(RowId id, const std::string& name) {
        if (ws_.table.Find(id) < 0)
            return;
        std::string& names = ws_.RowSources[id];
        std::string_view rest = names;
        while (!rest.empty()) {
            const auto comma = rest.find(", ");
            if (rest.substr(0, comma) == name)
                return;
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 2);
        }
        names += names.empty() ? name : ", " + name;
    }

    Workspace& ws_;
    const bool merge_;
    KeywordKeys keys_;
    std::unordered_map<std::string, RowId> appended_;
};

} // namespace

bool BuiltInHarvest(const Workspace& ws) {
    const HarvestOptions& options = ws.Harvest;
    if (options.Expand != Expansion::None || options.Depth != 1 || options.SourceIds.size() != 1)
        return false;
    const SourceEntry* entry = ws.Sources.FindSuggest(options.SourceIds.front());
    return entry && entry->Id == BuiltinSourceId && !entry->Polite();
}

QCoro::Task<HarvestEnd> GatherKeywordsInRounds(Workspace& ws) {
    ws.LastHarvest = {};
    std::vector<SourceRun> runs;
    for (const std::string& id : ws.Harvest.SourceIds)
        if (const SourceEntry* entry = ws.Sources.FindSuggest(id)) {
            SourceRun run;
            run.Entry = entry;
            run.Client = std::make_unique<HttpClient>();
            run.Client->Options() = ws.http.Options();
            runs.push_back(std::move(run));
        }
    if (runs.empty()) {
        ws.Ui.ShowMessage(MessageKind::Information, NoSourceChosenMessage, MessageButtons::Ok);
        co_return HarvestEnd::Refused;
    }
    const auto running = ws.Runs.Begin(RunKind::GatherKeywords);
    const CancelToken cancel = ws.Runs.Token();
    const int depth = ws.Harvest.Depth;
    Appender appender(ws, runs.size() > 1 || ws.Harvest.Expand != Expansion::None || depth > 1);
    std::vector<std::string> queries = ExpandedQueries(ws.MainKeyword, ws.Harvest.Expand);
    const std::size_t firstDepth = queries.size();
    std::unordered_set<std::string> asked(queries.begin(), queries.end());
    std::vector<std::string> deeper; // depth 1's suggestions, to ask at depth 2
    std::mt19937 random(std::random_device{}());

    for (std::size_t round = 0; round < queries.size() && !cancel.Cancelled(); ++round) {
        ws.SetMainStatus("Round " + std::to_string(round + 1) + " of " + std::to_string(queries.size()) + ": " +
                         queries[round]);
        std::vector<QCoro::Task<std::vector<Suggestion>>> asking;
        std::vector<SourceRun*> asker;
        for (SourceRun& run : runs)
            if (run.BlockReason.empty()) {
                asking.push_back(AskSource(ws, run, queries[round], Jittered(run.Entry->DelayMs, random), cancel));
                asker.push_back(&run);
            }
        if (asking.empty())
            break;
        // Every source's request is under way; their answers are taken in source order.
        std::vector<std::vector<Suggestion>> answers;
        for (auto& task : asking) {
            std::vector<Suggestion> found = co_await std::move(task);
            answers.push_back(std::move(found));
        }
        for (std::size_t k = 0; k < answers.size(); ++k) {
            std::vector<std::string> added = appender.AddAll(std::move(answers[k]), asker[k]->Entry->Name);
            if (round < firstDepth && depth > 1)
                for (std::string& keyword : added)
                    deeper.push_back(std::move(keyword));
            SourceRun& run = *asker[k];
            if (!run.BlockReason.empty() && !run.BlockSaid) {
                run.BlockSaid = true;
                ++ws.LastHarvest.Blocked;
                const std::string said = BlockedText(*run.Entry, run.BlockReason);
                ws.SetMainStatus(said);
                ws.BlockedNotices.push_back(said);
            }
        }
        ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
        if (round + 1 == firstDepth)
            for (std::string& keyword : deeper)
                if (asked.insert(keyword).second)
                    queries.push_back(std::move(keyword));
    }
    ws.LastHarvest.AllFailed = std::all_of(runs.begin(), runs.end(), [](const SourceRun& run) { return run.Read == 0; });
    if (cancel.Cancelled())
        ws.SetMainStatus(AbortedText);
    co_return ws.LastHarvest.AllFailed ? HarvestEnd::FetchFailed : HarvestEnd::Read;
}

std::string HarvestSummaryLine(const Workspace& ws) {
    const auto& counts = ws.LastHarvest;
    return "Gather Keywords: " + std::to_string(counts.Requests) + " requests, " +
           std::to_string(counts.NewKeywords) + " new keywords, " + std::to_string(counts.Blocked) +
           " sources blocked";
}

} // namespace vorlith
