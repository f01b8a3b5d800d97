#include "workspace/Sources.h"

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "text/UUtils.h"

#include <algorithm>
#include <charconv>

namespace vorlith {

namespace {

constexpr std::string_view SuggestPrefix = "Suggest ";
constexpr std::string_view CountPrefix = "Count ";
constexpr std::array<std::string_view, 3> CountNames = {"Google", "Yahoo", "Msn"};
// Longer pauses are surely a typing slip; a source that slow is asked once an hour anyway.
constexpr int MaxDelayMs = 3'600'000;

bool StartsWithWord(std::string_view text, std::string_view prefix) {
    return text.size() > prefix.size() && AsciiLowered(text.substr(0, prefix.size())) == AsciiLowered(prefix);
}

bool IsWord(std::string_view id) {
    return !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
}

std::optional<SourceFormat> ParseFormat(std::string_view text) {
    const std::string word = AsciiLowered(text);
    if (word == "builtin")
        return SourceFormat::Builtin;
    if (word == "markers")
        return SourceFormat::Markers;
    if (word == "json")
        return SourceFormat::Json;
    if (word == "jsonp")
        return SourceFormat::Jsonp;
    if (word == "xml")
        return SourceFormat::Xml;
    return std::nullopt;
}

std::vector<std::string> SplitBars(std::string_view text) {
    std::vector<std::string> parts;
    while (true) {
        const auto bar = text.find('|');
        if (const std::string_view part = text.substr(0, bar); !part.empty())
            parts.emplace_back(part);
        if (bar == std::string_view::npos)
            return parts;
        text.remove_prefix(bar + 1);
    }
}

class EntryReader {
public:
    EntryReader(std::string_view text, const std::string& file, SourcesList& list)
        : text_(text), file_(file), list_(list) {}

    std::string Value(const std::string& section, std::string_view key) const {
        return ReadIniStringFromText(text_, section, key);
    }
    void Problem(const std::string& section, std::string_view key, std::string_view what) {
        list_.Problems.push_back(file_ + ": [" + section + "] " + std::string(key) + ": " + std::string(what) +
                                 "; the entry is left out");
        list_.BrokenSections.push_back(section);
    }

    // Fills the entry from its section; false (with a problem line) when it cannot be used.
    bool Read(SourceEntry& entry, bool builtinAllowed) {
        const std::string& section = entry.Section;
        if (std::string name = Value(section, "Name"); !name.empty())
            entry.Name = std::move(name);
        if (const std::string enabled = Value(section, "Enabled"); !enabled.empty())
            entry.Enabled = enabled != "0" && AsciiLowered(enabled) != "false" && AsciiLowered(enabled) != "no";
        const std::string formatText = Value(section, "Format");
        const std::optional<SourceFormat> format =
            formatText.empty() ? std::optional(builtinAllowed ? SourceFormat::Builtin : SourceFormat::Markers)
                               : ParseFormat(formatText);
        if (!format) {
            Problem(section, "Format",
                    "unknown format \"" + formatText + "\" (builtin, markers, json, jsonp or xml)");
            return false;
        }
        if (*format == SourceFormat::Builtin) {
            if (!builtinAllowed) {
                Problem(section, "Format", "builtin is only for [Suggest builtin] and [Count 1] to [Count 3]");
                return false;
            }
            return true; // the built-in request and parser; only Name and Enabled are taken
        }
        entry.Format = *format;
        entry.Url = Value(section, "URL");
        if (entry.Url.empty()) {
            Problem(section, "URL", "missing");
            return false;
        }
        if (entry.Url.find(QueryPlaceholder) == std::string::npos) {
            Problem(section, "URL", "holds no {query}");
            return false;
        }
        if (!entry.Url.starts_with("http://") && !entry.Url.starts_with("https://")) {
            Problem(section, "URL", "must start with http:// or https://");
            return false;
        }
        const std::string query = AsciiLowered(Value(section, "Query"));
        if (query == "percent")
            entry.Query = QueryEncoding::Percent;
        else if (!query.empty() && query != "plus") {
            Problem(section, "Query", "unknown encoding \"" + query + "\" (plus or percent)");
            return false;
        }
        entry.Path = Value(section, "Path");
        entry.Start = Value(section, "Start");
        entry.End = Value(section, "End");
        if (entry.Format == SourceFormat::Markers && (entry.Start.empty() || entry.End.empty())) {
            Problem(section, entry.Start.empty() ? "Start" : "End", "missing (the markers format needs both)");
            return false;
        }
        entry.Charset = Value(section, "Charset");
        if (const std::string delay = Value(section, "Delay"); !delay.empty()) {
            int ms = -1;
            const auto [end, error] = std::from_chars(delay.data(), delay.data() + delay.size(), ms);
            if (error != std::errc() || end != delay.data() + delay.size() || ms < 0 || ms > MaxDelayMs) {
                Problem(section, "Delay", "\"" + delay + "\" is not a number of milliseconds from 0 to 3600000");
                return false;
            }
            entry.DelayMs = ms;
        }
        entry.Blocked = SplitBars(Value(section, "Blocked"));
        entry.UserAgent = Value(section, "UserAgent");
        entry.AcceptLanguage = Value(section, "AcceptLanguage");
        for (const auto& [key, value] : {std::pair{"UserAgent", &entry.UserAgent},
                                         std::pair{"AcceptLanguage", &entry.AcceptLanguage}})
            if (value->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
                Problem(section, key, "holds a line break");
                return false;
            }
        return true;
    }

private:
    std::string_view text_;
    const std::string& file_;
    SourcesList& list_;
};

} // namespace

const SourceEntry* SourcesList::FindSuggest(std::string_view id) const {
    const std::string wanted = AsciiLowered(id);
    for (const SourceEntry& entry : Suggest)
        if (AsciiLowered(entry.Id) == wanted)
            return &entry;
    return nullptr;
}

std::vector<std::string> SourcesList::EnabledSuggestIds() const {
    std::vector<std::string> ids;
    for (const SourceEntry& entry : Suggest)
        if (entry.Enabled)
            ids.push_back(entry.Id);
    return ids;
}

SourcesList BuiltinSources() {
    SourcesList list;
    SourceEntry builtin;
    builtin.Id = BuiltinSourceId;
    builtin.Section = "Suggest builtin";
    builtin.Name = "Wordtracker";
    builtin.Enabled = true;
    list.Suggest.push_back(builtin);
    for (std::size_t i = 0; i < list.Counts.size(); ++i) {
        SourceEntry& count = list.Counts[i];
        count.Kind = SourceKind::Count;
        count.Id = std::to_string(i + 1);
        count.Section = "Count " + count.Id;
        count.Name = CountNames[i];
        count.Enabled = true;
    }
    return list;
}

SourcesList LoadSources(const std::string& file) {
    std::optional<std::string> text = ReadRegularFile(file, MaxIniFileSize);
    if (!text)
        return BuiltinSources();
    if (text->size() > MaxIniFileSize)
        text->resize(MaxIniFileSize);
    return ReadSources(*text, file);
}

SourcesList ReadSources(std::string_view text, const std::string& fileName) {
    SourcesList list = BuiltinSources();
    list.File = fileName;
    EntryReader reader(text, fileName, list);
    for (const std::string& section : ReadIniSectionNames(text)) {
        if (StartsWithWord(section, CountPrefix)) {
            const std::string id(section.substr(CountPrefix.size()));
            if (id != "1" && id != "2" && id != "3") {
                reader.Problem(section, "[section]", "count engines are [Count 1], [Count 2] and [Count 3]");
                continue;
            }
            // Only Enabled=1 replaces the built-in engine.
            if (reader.Value(section, "Enabled") != "1")
                continue;
            SourceEntry entry = list.Counts[static_cast<std::size_t>(id[0] - '1')];
            entry.Section = section;
            if (reader.Read(entry, true))
                list.Counts[static_cast<std::size_t>(id[0] - '1')] = std::move(entry);
        } else if (StartsWithWord(section, SuggestPrefix)) {
            const std::string id(section.substr(SuggestPrefix.size()));
            if (!IsWord(id)) {
                reader.Problem(section, "[section]", "the id after \"Suggest \" must be one word");
                continue;
            }
            const bool builtin = AsciiLowered(id) == BuiltinSourceId;
            SourceEntry entry = builtin ? list.Suggest.front() : SourceEntry{};
            entry.Id = builtin ? std::string(BuiltinSourceId) : id;
            entry.Section = section;
            if (!builtin) {
                entry.Name = id;
                entry.Enabled = false;
            }
            if (!reader.Read(entry, builtin))
                continue;
            if (builtin)
                list.Suggest.front() = std::move(entry);
            else
                list.Suggest.push_back(std::move(entry));
        }
    }
    return list;
}

std::string EncodeQuery(std::string_view keyword, QueryEncoding encoding) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(keyword.size() + keyword.size() / 4);
    for (const char c : keyword) {
        const auto byte = static_cast<unsigned char>(c);
        bool keep;
        if (encoding == QueryEncoding::Plus) {
            if (c == ' ') {
                out += '+';
                continue;
            }
            keep = byte >= 0x21 && byte != 0x7F && c != '&' && c != '#' && c != '%' && c != '+';
        } else {
            keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '.' || c == '_' || c == '~';
        }
        if (keep) {
            out += c;
        } else {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 15];
        }
    }
    return out;
}

std::string FillQuery(std::string_view url, std::string_view query) {
    std::string out;
    while (true) {
        const auto at = url.find(QueryPlaceholder);
        out.append(url.substr(0, at));
        if (at == std::string_view::npos)
            return out;
        out.append(query);
        url.remove_prefix(at + QueryPlaceholder.size());
    }
}

std::optional<Expansion> ParseExpansion(std::string_view word) {
    const std::string lowered = AsciiLowered(word);
    if (lowered == "none")
        return Expansion::None;
    if (lowered == "az")
        return Expansion::AZ;
    if (lowered == "az09")
        return Expansion::AZ09;
    if (lowered == "questions")
        return Expansion::Questions;
    if (lowered == "prepositions")
        return Expansion::Prepositions;
    return std::nullopt;
}

std::vector<std::string> ExpandedQueries(std::string_view seed, Expansion expand) {
    static constexpr std::array<std::string_view, 12> Questions = {
        "how", "what", "why", "where", "when", "who", "which", "can", "is", "are", "does", "will"};
    static constexpr std::array<std::string_view, 7> Prepositions = {"for", "with", "without", "near",
                                                                     "vs",  "to",   "like"};
    std::vector<std::string> queries{std::string(seed)};
    const auto suffix = [&](std::string_view word) { queries.push_back(std::string(seed) + " " + std::string(word)); };
    switch (expand) {
    case Expansion::None:
        break;
    case Expansion::AZ09:
    case Expansion::AZ:
        for (char c = 'a'; c <= 'z'; ++c)
            suffix(std::string_view(&c, 1));
        if (expand == Expansion::AZ09)
            for (char c = '0'; c <= '9'; ++c)
                suffix(std::string_view(&c, 1));
        break;
    case Expansion::Questions:
        for (const std::string_view word : Questions)
            queries.push_back(std::string(word) + " " + std::string(seed));
        break;
    case Expansion::Prepositions:
        for (const std::string_view word : Prepositions)
            suffix(word);
        break;
    }
    return queries;
}

std::string_view FormatName(SourceFormat format) {
    switch (format) {
    case SourceFormat::Builtin:
        return "builtin";
    case SourceFormat::Markers:
        return "markers";
    case SourceFormat::Json:
        return "json";
    case SourceFormat::Jsonp:
        return "jsonp";
    case SourceFormat::Xml:
        return "xml";
    }
    return "";
}

} // namespace vorlith
