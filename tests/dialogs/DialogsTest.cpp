#include "dialogs/FAddKeywords.h"
#include "dialogs/FMainKeyword.h"
#include "dialogs/FSelectSearch.h"
#include "support/ScriptedUi.h"
#include "support/WidgetChecks.h"
#include "workspace/DialogRules.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::ClientRect;
using test::ScriptedUi;
using test::TabChain;

struct Control {
    QWidget* Widget;
    QRect Place;
    const char* Text;
};

void ExpectLayout(QDialog& dialog, const char* caption, QSize client, const std::vector<Control>& controls) {
    EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(caption));
    EXPECT_EQ(dialog.size(), client);
    EXPECT_EQ(dialog.minimumSize(), client) << "the frame is fixed";
    EXPECT_EQ(dialog.maximumSize(), client) << "the frame is fixed";
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    for (const Control& c : controls) {
        EXPECT_EQ(ClientRect(c.Widget), c.Place) << c.Widget->objectName().toStdString();
        QString text;
        if (auto* label = qobject_cast<QLabel*>(c.Widget))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(c.Widget))
            text = button->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(c.Widget))
            text = edit->text();
        EXPECT_EQ(text.toStdString(), c.Text) << c.Widget->objectName().toStdString();
    }
}

TEST(FMainKeyword, LayoutTabOrderAndFocus) {
    ScriptedUi ui;
    TfrmMainKeyword frm(ui);
    ExpectLayout(
        frm, "Main Keyword", {309, 109},
        {{frm.bsSkinStdLabel1, {13, 13, 292, 16}, "Please type the main keyword(s) Eg: golf, soccer:"},
         {frm.edtMainKeyword, {13, 37, 280, 15}, ""},
         {frm.btnOk, {68, 67, 82, 21}, "Ok"},
         {frm.btnCancel, {157, 67, 82, 21}, "Cancel"}});
    EXPECT_EQ(TabChain(frm.edtMainKeyword, 3),
              (std::vector<QWidget*>{frm.edtMainKeyword, frm.btnOk, frm.btnCancel}));
    frm.show();
    EXPECT_EQ(frm.focusWidget(), frm.edtMainKeyword);
}

TEST(FMainKeyword, OkRefusesEmptyTextAndKeepsSpaces) {
    ScriptedUi ui;
    TfrmMainKeyword frm(ui);
    frm.show();
    ui.AnswerMessage("Please add a Main Keyword.");
    frm.btnOkClick();
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(ui.Messages.at(0).Kind, MessageKind::Information);
    EXPECT_EQ(ui.Messages.at(0).Buttons, MessageButtons::Ok);

    QTest::keyClicks(frm.edtMainKeyword, QStringLiteral("  "));
    frm.btnOkClick();
    EXPECT_EQ(frm.result(), QDialog::Accepted);
    EXPECT_EQ(frm.edtMainKeyword->text(), QStringLiteral("  "));
}

class EnterWithModifiers : public ::testing::TestWithParam<Qt::KeyboardModifiers> {};

TEST_P(EnterWithModifiers, EnterInAnEditBoxActsAsOk) {
    ScriptedUi ui;
    {
        TfrmMainKeyword frm(ui);
        frm.show();
        frm.edtMainKeyword->setText(QStringLiteral("golf"));
        QTest::keyClick(frm.edtMainKeyword, Qt::Key_Return, GetParam());
        EXPECT_EQ(frm.result(), QDialog::Accepted);
    }
    {
        TfrmAddKeywords frm(ui, QDir::tempPath());
        frm.show();
        frm.edtList->setText(QStringLiteral("/no/such/file.txt"));
        ui.AnswerMessage("Please select a valid file.");
        QTest::keyClick(frm.edtList, Qt::Key_Enter, GetParam());
        EXPECT_TRUE(frm.isVisible());
        frm.edtList->clear();
        QTest::keyClick(frm.edtAddKeyword, Qt::Key_Return, GetParam());
        EXPECT_EQ(frm.result(), QDialog::Accepted);
    }
}

INSTANTIATE_TEST_SUITE_P(Modifiers, EnterWithModifiers,
                         ::testing::Values(Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                           Qt::AltModifier));

TEST(FAddKeywords, LayoutTabOrderAndFocus) {
    ScriptedUi ui;
    TfrmAddKeywords frm(ui, QDir::tempPath());
    ExpectLayout(frm, "Enter Keyword(s)", {426, 147},
                 {{frm.bsSkinStdLabel1, {9, 13, 239, 16}, "Please type keyword(s) Eg: golf, soccer:"},
                  {frm.edtAddKeyword, {9, 33, 326, 15}, ""},
                  {frm.bsSkinStdLabel2,
                   {9, 59, 378, 16},
                   "Or add a file with a keyword list (one group of keywords per line):"},
                  {frm.edtList, {9, 78, 326, 15}, ""},
                  {frm.btnBrowse, {344, 77, 63, 21}, "Browse"},
                  {frm.btnOk, {102, 107, 82, 21}, "Ok"},
                  {frm.btnCancel, {190, 107, 82, 21}, "Cancel"}});
    EXPECT_EQ(
        TabChain(frm.edtAddKeyword, 5),
        (std::vector<QWidget*>{frm.edtAddKeyword, frm.btnOk, frm.btnCancel, frm.edtList, frm.btnBrowse}));
    frm.show();
    EXPECT_EQ(frm.focusWidget(), frm.edtAddKeyword);
}

TEST(FAddKeywords, OkChecksBothBoxesFirstThenTheFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("list.txt"));
    std::ofstream(file.toStdString()) << "golf\n";
    ScriptedUi ui;
    TfrmAddKeywords frm(ui, dir.path());
    frm.show();
    frm.edtAddKeyword->setText(QStringLiteral("golf"));
    frm.edtList->setText(QStringLiteral("/no/such/file.txt"));
    ui.AnswerMessage("Please select only one way to add keywords.");
    frm.btnOkClick();
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.edtAddKeyword->text(), QStringLiteral("golf")) << "input stays as it was";

    frm.edtAddKeyword->clear();
    frm.edtList->setText(dir.path());
    ui.AnswerMessage("Please select a valid file.");
    frm.btnOkClick();
    EXPECT_TRUE(frm.isVisible());

    // A relative name counts from the current working folder.
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    frm.edtList->setText(QStringLiteral("list.txt"));
    frm.btnOkClick();
    QDir::setCurrent(before);
    EXPECT_EQ(frm.result(), QDialog::Accepted);
}

TEST(FAddKeywords, BrowseStartsInTheProgramFolderThenWhereTheLastFileWas) {
    ScriptedUi ui;
    TfrmAddKeywords frm(ui, QStringLiteral("/opt/vorlith/"));
    std::vector<QString> startedIn;
    std::vector<QString> answers{QStringLiteral("/data/lists/golf.txt"), QString()};
    frm.bsSkinOpenDialog1 = [&](QWidget*, const QString& title, const QString& folder,
                                const QString& filter) {
        EXPECT_EQ(title, QStringLiteral("Open file"));
        EXPECT_EQ(filter, QStringLiteral("Text files (*.txt)"));
        startedIn.push_back(folder);
        QString answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    frm.edtAddKeyword->setText(QStringLiteral("typed"));
    frm.btnBrowseClick();
    EXPECT_EQ(frm.edtList->text(), QStringLiteral("/data/lists/golf.txt"));
    EXPECT_EQ(frm.edtAddKeyword->text(), QStringLiteral("typed")) << "the keyword box is not touched";
    frm.btnBrowseClick(); // cancelled: nothing changes
    EXPECT_EQ(frm.edtList->text(), QStringLiteral("/data/lists/golf.txt"));
    EXPECT_EQ(startedIn,
              (std::vector<QString>{QStringLiteral("/opt/vorlith/"), QStringLiteral("/data/lists")}));
}

TEST(FSelectSearch, LayoutTabOrderFocusAndTheRadioGroup) {
    TfrmSelSearch frm;
    ExpectLayout(frm, "Select Search Type", {480, 114},
                 {{frm.bsSkinCheckRadioBox1,
                   {11, 15, 397, 20},
                   "Precise Search Eg: \"golf clubs\" Should appear the word in the same order."},
                  {frm.bsSkinCheckRadioBox2,
                   {11, 41, 446, 20},
                   "Broad Search Eg: golf clubs, any word no matther the order or position in the text."},
                  {frm.btnOk, {161, 75, 81, 21}, "Ok"},
                  {frm.btnCancel, {251, 75, 82, 21}, "Cancel"}});
    EXPECT_TRUE(frm.PreciseSelected());
    EXPECT_EQ(TabChain(frm.btnOk, 3),
              (std::vector<QWidget*>{frm.btnOk, frm.btnCancel, frm.bsSkinCheckRadioBox1}));
    frm.show();
    EXPECT_EQ(frm.focusWidget(), frm.btnOk);

    QTest::mouseClick(frm.bsSkinCheckRadioBox1, Qt::LeftButton);
    EXPECT_TRUE(frm.PreciseSelected()) << "clicking the selected choice changes nothing";
    QTest::mouseClick(frm.bsSkinCheckRadioBox2, Qt::LeftButton);
    EXPECT_FALSE(frm.PreciseSelected());
    QTest::mouseClick(frm.bsSkinCheckRadioBox2, Qt::LeftButton);
    EXPECT_TRUE(frm.bsSkinCheckRadioBox2->isChecked()) << "broad cannot be deselected by itself";
}

TEST(FSelectSearch, EnterAtOncePressesOkWithThePreciseChoice) {
    TfrmSelSearch frm;
    test::WhenModalOpens([](QWidget* dialog) { QTest::keyClick(dialog->focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(frm.exec(), QDialog::Accepted);
    EXPECT_TRUE(frm.PreciseSelected());
}

} // namespace
} // namespace vorlith
