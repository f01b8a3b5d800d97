#include "workspace/RowFilter.h"

#include "platform/QStringBytes.h"
#include "workspace/KeywordTable.h"
#include "workspace/ResultsExport.h"
#include "workspace/Workspace.h"

#include <QString>
#include <algorithm>
#include <cstring>

namespace vorlith {

namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A value as one spreadsheet field: no tab or line break inside, and no formula to run, by the
// rule Save follows.
void AppendField(std::string& out, std::string_view value) {
    if (NeedsFormulaQuote(value))
        out.push_back('\'');
    for (const char c : value)
        out.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
}

} // namespace

std::string FoldedNeedle(std::string_view text) {
    if (IsAscii(text)) {
        std::string folded(text);
        for (char& c : folded)
            c = FoldAscii(c);
        return folded;
    }
    return FromSearchText(ToFoldedSearchText(text));
}

bool KeywordContains(std::string_view keyword, std::string_view foldedNeedle) {
    if (foldedNeedle.empty())
        return true;
    if (keyword.size() >= foldedNeedle.size()) {
        // Plain ASCII keywords (nearly all) are folded byte by byte into a small buffer.
        char buffer[256];
        if (keyword.size() <= sizeof buffer) {
            bool ascii = true;
            for (std::size_t i = 0; i < keyword.size(); ++i) {
                const char c = keyword[i];
                ascii = ascii && static_cast<unsigned char>(c) < 0x80;
                buffer[i] = FoldAscii(c);
            }
            if (ascii)
                return ::memmem(buffer, keyword.size(), foldedNeedle.data(), foldedNeedle.size()) != nullptr;
        }
    } else if (IsAscii(keyword)) {
        return false;
    }
    return ToFoldedSearchText(keyword).contains(ToSearchText(foldedNeedle));
}

std::vector<int> FilterRows(const KeywordTable& table, std::string_view text) {
    const std::string needle = FoldedNeedle(text);
    const int keywords = CellOf(Column::Keywords);
    std::vector<int> rows;
    for (int r = 0; r < table.RowCount(); ++r)
        if (KeywordContains(table.Cell(r, keywords), needle))
            rows.push_back(r);
    return rows;
}

std::vector<int> ShownRows(const Workspace& ws) {
    return FilterRows(ws.table, ws.Filter);
}

std::string FilterCountText(int shown, int total) {
    return std::to_string(shown) + " of " + std::to_string(total) + " shown";
}

std::string KeywordsText(const KeywordTable& table, const std::vector<int>& rows) {
    std::string out;
    for (const int r : rows) {
        out.append(table.Cell(r, CellOf(Column::Keywords)));
        out.push_back('\n');
    }
    return out;
}

std::string RowsText(const KeywordTable& table, const std::vector<int>& rows) {
    std::string out;
    for (int c = 0; c < ColumnCount; ++c) {
        if (c > 0)
            out.push_back('\t');
        out.append(Columns[static_cast<std::size_t>(c)].Header);
    }
    out.push_back('\n');
    for (const int r : rows) {
        AppendField(out, table.Caption(r));
        for (int c = 0; c < CellCount; ++c) {
            out.push_back('\t');
            AppendField(out, table.Cell(r, c));
        }
        out.push_back('\n');
    }
    return out;
}

} // namespace vorlith
