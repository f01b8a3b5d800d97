// Keywords that are not valid UTF-8 keep their identity in Remove Duplicates, skip-existing, the
// sort and the filter, against a reference that reads each invalid byte as a private-use character of
// its own (which no collation ignores or folds).
#include "workspace/ColumnSorting.h"
#include "workspace/Duplicates.h"
#include "workspace/KeywordTable.h"
#include "workspace/RowFilter.h"

#include <QCollator>
#include <gtest/gtest.h>
#include <random>

namespace vorlith {
namespace {

QString Reference(const std::string& bytes) {
    QString out;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t length = 0;
        for (std::size_t n = 1; n <= 4 && i + n <= bytes.size() && length == 0; ++n) {
            const QString one = QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(n));
            if (!one.contains(QChar::ReplacementCharacter) && one.toStdU32String().size() == 1 &&
                one.toUtf8().toStdString() == bytes.substr(i, n))
                length = n;
        }
        if (length == 0) {
            out.append(QChar(char16_t(0xE000 + static_cast<unsigned char>(bytes[i]))));
            length = 1;
        } else {
            out.append(QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(length)));
        }
        i += length;
    }
    return out;
}

struct Corpus {
    const char* Locale;
    std::vector<std::string> Pieces;
};

class InvalidText : public ::testing::TestWithParam<Corpus> {
protected:
    std::vector<std::string> Words(unsigned seed, int count) const {
        std::mt19937 rng(seed);
        std::vector<std::string> words;
        for (int i = 0; i < count; ++i) {
            std::string w;
            for (int n = static_cast<int>(rng() % 4); n > 0; --n)
                w += GetParam().Pieces[rng() % GetParam().Pieces.size()];
            words.push_back(w);
        }
        return words;
    }
};

TEST_P(InvalidText, EqualOnlyWhereTheReferenceIsEqual) {
    const QLocale locale(QString::fromLatin1(GetParam().Locale));
    const QCollator collator = KeywordCollator(locale);
    const std::vector<std::string> words = Words(11, 400);
    KeywordTable table;
    KeywordSet known(locale, false); // skip-existing's set
    std::vector<std::string> kept;
    for (const std::string& w : words) {
        table.AppendKeyword(w);
        bool seen = false;
        for (const auto& k : kept)
            seen = seen || collator.compare(Reference(k), Reference(w)) == 0;
        ASSERT_EQ(known.Insert(w), !seen) << '"' << w << '"';
        if (!seen)
            kept.push_back(w);
    }
    RemoveDuplicateRows(table, locale);
    ASSERT_EQ(table.RowCount(), static_cast<int>(kept.size()));
    for (int r = 0; r < table.RowCount(); ++r)
        EXPECT_EQ(table.Cell(r, 0), kept[static_cast<std::size_t>(r)]);

    // The sort agrees with the comparison, which keeps the same identity.
    SortRows(table, 1, true, locale);
    for (int r = 0; r + 1 < table.RowCount(); ++r)
        EXPECT_LT(CompareKeywords(collator, table.Cell(r, 0), table.Cell(r + 1, 0)), 0)
            << '"' << table.Cell(r, 0) << "\" \"" << table.Cell(r + 1, 0) << '"';
}

TEST_P(InvalidText, FilterMatchesWhereTheReferenceContains) {
    const std::vector<std::string> keywords = Words(12, 150);
    for (const std::string& needle : Words(13, 60))
        for (const std::string& keyword : keywords)
            ASSERT_EQ(KeywordContains(keyword, FoldedNeedle(needle)),
                      Reference(keyword).toCaseFolded().contains(Reference(needle).toCaseFolded()))
                << '"' << keyword << "\" \"" << needle << '"';
}

// Valid letters with and without accents and case, and invalid bytes: Latin-1 letters, a soft hyphen
// and a C1 control (both ignorable as characters), a lone lead byte and a lone continuation byte.
const std::vector<std::string> kPieces{"a", "A", "e", "\xC3\xA9", "\xC3\x89", " ", "\xE9", "\xC9",
                                       "\xE8", "\xFF", "\xAD", "\x80", "\xC3", "\xA9"};

INSTANTIATE_TEST_SUITE_P(Locales, InvalidText,
                         ::testing::Values(Corpus{"en_US", kPieces}, Corpus{"C", kPieces},
                                           Corpus{"de_DE", kPieces}),
                         [](const auto& info) { return std::string(info.param.Locale); });

} // namespace
} // namespace vorlith
