// Harvest Options and the Source column in the window.
#include "gui/KeywordModel.h"
#include "gui/dialogs/FHarvestOptions.h"
#include "workspace/KeywordTable.h"

#include <QComboBox>
#include <QListWidget>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

TEST(HarvestOptions, ShowsTheCurrentChoiceAndReturnsWhatIsTicked) {
    const SourcesList sources = ReadSources("[Suggest a]\nURL=http://a/{query}\nFormat=json\n"
                                            "[Suggest b]\nName=Bee\nURL=http://b/{query}\nFormat=json\n",
                                            "s.ini");
    TfrmHarvestOptions dialog(sources, {{"builtin", "b"}, Expansion::Questions, 2});
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstSources"));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Bee"));
    EXPECT_EQ(dialog.Chosen().SourceIds, (std::vector<std::string>{"builtin", "b"}));
    EXPECT_EQ(dialog.Chosen().Expand, Expansion::Questions);
    EXPECT_EQ(dialog.Chosen().Depth, 2);
    list->item(0)->setCheckState(Qt::Unchecked);
    list->item(1)->setCheckState(Qt::Checked);
    dialog.findChild<QComboBox*>(QStringLiteral("cmbExpand"))->setCurrentIndex(1);
    dialog.findChild<QComboBox*>(QStringLiteral("cmbDepth"))->setCurrentIndex(0);
    const HarvestOptions chosen = dialog.Chosen();
    EXPECT_EQ(chosen.SourceIds, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(chosen.Expand, Expansion::AZ);
    EXPECT_EQ(chosen.Depth, 1);
}

TEST(SourceColumn, IsASeventhColumnOnlyWhileShownAndListsTheNamesByRowId) {
    KeywordTable table;
    table.AppendKeywords({"a", "b"});
    KeywordModel::SourceNames names{{table.Id(1), "Google, Bing"}};
    KeywordModel model(table);
    model.SetSourceNames(&names);
    EXPECT_EQ(model.columnCount(), 6);
    model.SetSourceColumnShown(true);
    ASSERT_EQ(model.columnCount(), 7);
    EXPECT_EQ(model.headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Source"));
    EXPECT_EQ(model.data(model.index(0, 6), Qt::DisplayRole).toString(), QString());
    EXPECT_EQ(model.data(model.index(1, 6), Qt::DisplayRole).toString(), QStringLiteral("Google, Bing"));
    model.SetCountCaptions({"Google", "Bing", "Msn"});
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Bing"));
    model.SetSourceColumnShown(false);
    EXPECT_EQ(model.columnCount(), 6);
}

} // namespace
} // namespace vorlith
