#include "gui/FMain.h"
#include "support/WidgetChecks.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::WhenModalOpens;

class FMainTable : public ::testing::Test {
protected:
    void SetUp() override {
        frm = std::make_unique<TfrmMain>(folder.path().toStdString());
        frm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
        auto& table = frm->Ws().table;
        table.Append({"golf", "", "30", "", ""});
        table.Append({"soccer", "", "1,000", "", ""});
        table.Append({"tennis", "", "200", "", ""});
    }
    void ClickHeader(int column) {
        QHeaderView* header = test::Find<QTableView>(&*frm, "lvwItems")->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    std::string ShownKeyword(int row) const {
        return test::Find<QTableView>(&*frm, "lvwItems")
            ->model()
            ->index(row, 1)
            .data()
            .toString()
            .toStdString();
    }
    QTemporaryDir folder;
    std::unique_ptr<TfrmMain> frm;
};

TEST_F(FMainTable, HeaderClicksSortTheViewUnlessSwitchedOff) {
    ClickHeader(3);
    EXPECT_EQ(ShownKeyword(0), "golf");
    EXPECT_EQ(ShownKeyword(2), "soccer");
    frm->SetHeaderClicksEnabled(false);
    ClickHeader(3);
    EXPECT_TRUE(frm->Ws().SortAscending);
    EXPECT_EQ(ShownKeyword(0), "golf");
    frm->SetHeaderClicksEnabled(true);
    ClickHeader(3);
    EXPECT_FALSE(frm->Ws().SortAscending);
    EXPECT_EQ(ShownKeyword(0), "soccer");
}

TEST_F(FMainTable, SelectionButtonsTickAndClearEveryRow) {
    QTest::mouseClick(test::Find<QPushButton>(&*frm, "bsSkinButton1"), Qt::LeftButton);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(
            test::Find<QTableView>(&*frm, "lvwItems")->model()->index(r, 0).data(Qt::CheckStateRole).toInt(),
            Qt::Checked);
    QTest::mouseClick(test::Find<QPushButton>(&*frm, "bsSkinButton2"), Qt::LeftButton);
    for (int r = 0; r < 3; ++r)
        EXPECT_FALSE(frm->Ws().table.Checked(r));
}

TEST_F(FMainTable, SaveDialogOffersCsvOpensWhereToldAndAsksNothingBeforeReplacing) {
    const QString target = folder.filePath(QStringLiteral("old.csv"));
    QFile existing(target);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    QString title, name;
    QStringList filters;
    QString directory;
    WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        directory = dialog->directory().absolutePath();
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        name = edit->text();
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = frm->AskSaveFile(folder.path().toStdString() + "/", "old.csv");
    EXPECT_EQ(title, QStringLiteral("Save file"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("CSV files (*.csv)")});
    EXPECT_EQ(directory, QDir(folder.path()).absolutePath());
    EXPECT_EQ(name, QStringLiteral("old.csv"));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, target.toStdString());

    WhenModalOpens([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    EXPECT_FALSE(frm->AskSaveFile(folder.path().toStdString() + "/", "").has_value());
}

} // namespace
} // namespace vorlith
