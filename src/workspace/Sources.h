#pragma once
// sources.ini: the places the program harvests from ([Suggest ID]) and counts at ([Count 1..3]),
// read with the INI rules of dbconfig.dat. The built-in service and the three built-in engines
// are the built-in entries; with no file, every request stays as it always was.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

inline constexpr std::string_view SourcesFileName = "sources.ini";
inline constexpr std::string_view BuiltinSourceId = "builtin";
inline constexpr std::string_view QueryPlaceholder = "{query}";

enum class SourceKind { Suggest, Count };
// plus: spaces become "+", and & # % + and control bytes are percent-encoded. percent: RFC 3986.
enum class QueryEncoding { Plus, Percent };
enum class SourceFormat { Builtin, Markers, Json, Jsonp, Xml };

struct SourceEntry {
    SourceKind Kind = SourceKind::Suggest;
    std::string Id;      // the word after "Suggest ", or "1".."3"
    std::string Section; // as the file names it
    std::string Name;
    std::string Url;
    QueryEncoding Query = QueryEncoding::Plus;
    SourceFormat Format = SourceFormat::Builtin;
    std::string Path, Start, End, Charset;
    int DelayMs = 0;
    std::vector<std::string> Blocked;
    std::string UserAgent, AcceptLanguage;
    bool Enabled = false;
    // Defined by the file: pauses, retries and blocks apply. Built-in entries keep none of them.
    bool Polite() const { return Format != SourceFormat::Builtin; }
};

struct SourcesList {
    std::string File; // where it was read; empty when there was none
    std::vector<SourceEntry> Suggest; // the built-in first, then the file's in file order
    std::array<SourceEntry, 3> Counts; // behind the Google, Yahoo and Msn columns
    // One clear line per broken entry, naming the file, the section and the key.
    std::vector<std::string> Problems;
    // Sections left out for their problems, for --list-sources.
    std::vector<std::string> BrokenSections;

    const SourceEntry* FindSuggest(std::string_view id) const;
    // The ids of the suggestion sources ticked at start.
    std::vector<std::string> EnabledSuggestIds() const;
};

enum class Expansion { None, AZ, AZ09, Questions, Prepositions };

// How Gather Keywords harvests, for the rest of the run; the defaults are the built-in harvest.
struct HarvestOptions {
    std::vector<std::string> SourceIds; // in the order the sources are listed
    vorlith::Expansion Expand = vorlith::Expansion::None;
    int Depth = 1; // 2: every suggestion of depth 1 is asked again, unexpanded
};

// "none", "az", "az09", "questions", "prepositions".
std::optional<Expansion> ParseExpansion(std::string_view word);
// The queries of one seed: the seed first, then its expansions.
std::vector<std::string> ExpandedQueries(std::string_view seed, Expansion expand);

// The built-in service and engines alone.
SourcesList BuiltinSources();
// The file's entries over the built-ins. A missing file gives the built-ins; a broken entry is left
// out with a problem line and the others still work.
SourcesList LoadSources(const std::string& file);
SourcesList ReadSources(std::string_view text, const std::string& fileName);

// A keyword as a request writes it.
std::string EncodeQuery(std::string_view keyword, QueryEncoding encoding);
// The entry's URL with every {query} replaced by the query text (already encoded and wrapped).
std::string FillQuery(std::string_view url, std::string_view query);

std::string_view FormatName(SourceFormat format);

} // namespace vorlith
