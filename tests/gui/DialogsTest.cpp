#include "gui/dialogs/FAddKeywords.h"
#include "gui/dialogs/FMainKeyword.h"
#include "gui/dialogs/FSelectSearch.h"
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
    ExpectLayout(frm, "Main Keyword", {309, 109},
                 {{test::Find<QLabel>(frm, "bsSkinStdLabel1"),
                   {13, 13, 292, 16},
                   "Please type the main keyword(s) Eg: golf, soccer:"},
                  {test::Find<QLineEdit>(frm, "edtMainKeyword"), {13, 37, 280, 15}, ""},
                  {test::Find<QPushButton>(frm, "btnOk"), {68, 67, 82, 21}, "Ok"},
                  {test::Find<QPushButton>(frm, "btnCancel"), {157, 67, 82, 21}, "Cancel"}});
    EXPECT_EQ(TabChain(test::Find<QLineEdit>(frm, "edtMainKeyword"), 3),
              (std::vector<QWidget*>{test::Find<QLineEdit>(frm, "edtMainKeyword"),
                                     test::Find<QPushButton>(frm, "btnOk"),
                                     test::Find<QPushButton>(frm, "btnCancel")}));
    frm.show();
    EXPECT_EQ(frm.focusWidget(), test::Find<QLineEdit>(frm, "edtMainKeyword"));
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

    QTest::keyClicks(test::Find<QLineEdit>(frm, "edtMainKeyword"), QStringLiteral("  "));
    frm.btnOkClick();
    EXPECT_EQ(frm.result(), QDialog::Accepted);
    EXPECT_EQ(test::Find<QLineEdit>(frm, "edtMainKeyword")->text(), QStringLiteral("  "));
}

class EnterWithModifiers : public ::testing::TestWithParam<Qt::KeyboardModifiers> {};

TEST_P(EnterWithModifiers, EnterInAnEditBoxActsAsOk) {
    ScriptedUi ui;
    {
        TfrmMainKeyword frm(ui);
        frm.show();
        test::Find<QLineEdit>(frm, "edtMainKeyword")->setText(QStringLiteral("golf"));
        QTest::keyClick(test::Find<QLineEdit>(frm, "edtMainKeyword"), Qt::Key_Return, GetParam());
        EXPECT_EQ(frm.result(), QDialog::Accepted);
    }
    {
        TfrmAddKeywords frm(ui, QDir::tempPath());
        frm.show();
        test::Find<QLineEdit>(frm, "edtList")->setText(QStringLiteral("/no/such/file.txt"));
        ui.AnswerMessage("Please select a valid file.");
        QTest::keyClick(test::Find<QLineEdit>(frm, "edtList"), Qt::Key_Enter, GetParam());
        EXPECT_TRUE(frm.isVisible());
        test::Find<QLineEdit>(frm, "edtList")->clear();
        QTest::keyClick(test::Find<QLineEdit>(frm, "edtAddKeyword"), Qt::Key_Return, GetParam());
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
                 {{test::Find<QLabel>(frm, "bsSkinStdLabel1"),
                   {9, 13, 239, 16},
                   "Please type keyword(s) Eg: golf, soccer:"},
                  {test::Find<QLineEdit>(frm, "edtAddKeyword"), {9, 33, 326, 15}, ""},
                  {test::Find<QLabel>(frm, "bsSkinStdLabel2"),
                   {9, 59, 378, 16},
                   "Or add a file with a keyword list (one group of keywords per line):"},
                  {test::Find<QLineEdit>(frm, "edtList"), {9, 78, 326, 15}, ""},
                  {test::Find<QPushButton>(frm, "btnBrowse"), {344, 77, 63, 21}, "Browse"},
                  {test::Find<QPushButton>(frm, "btnOk"), {102, 107, 82, 21}, "Ok"},
                  {test::Find<QPushButton>(frm, "btnCancel"), {190, 107, 82, 21}, "Cancel"}});
    EXPECT_EQ(TabChain(test::Find<QLineEdit>(frm, "edtAddKeyword"), 5),
              (std::vector<QWidget*>{
                  test::Find<QLineEdit>(frm, "edtAddKeyword"), test::Find<QPushButton>(frm, "btnOk"),
                  test::Find<QPushButton>(frm, "btnCancel"), test::Find<QLineEdit>(frm, "edtList"),
                  test::Find<QPushButton>(frm, "btnBrowse")}));
    frm.show();
    EXPECT_EQ(frm.focusWidget(), test::Find<QLineEdit>(frm, "edtAddKeyword"));
}

TEST(FAddKeywords, OkChecksBothBoxesFirstThenTheFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("list.txt"));
    std::ofstream(file.toStdString()) << "golf\n";
    ScriptedUi ui;
    TfrmAddKeywords frm(ui, dir.path());
    frm.show();
    test::Find<QLineEdit>(frm, "edtAddKeyword")->setText(QStringLiteral("golf"));
    test::Find<QLineEdit>(frm, "edtList")->setText(QStringLiteral("/no/such/file.txt"));
    ui.AnswerMessage("Please select only one way to add keywords.");
    frm.btnOkClick();
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(test::Find<QLineEdit>(frm, "edtAddKeyword")->text(), QStringLiteral("golf"))
        << "input stays as it was";

    test::Find<QLineEdit>(frm, "edtAddKeyword")->clear();
    test::Find<QLineEdit>(frm, "edtList")->setText(dir.path());
    ui.AnswerMessage("Please select a valid file.");
    frm.btnOkClick();
    EXPECT_TRUE(frm.isVisible());

    // A relative name counts from the current working folder.
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    test::Find<QLineEdit>(frm, "edtList")->setText(QStringLiteral("list.txt"));
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
    test::Find<QLineEdit>(frm, "edtAddKeyword")->setText(QStringLiteral("typed"));
    frm.btnBrowseClick();
    EXPECT_EQ(test::Find<QLineEdit>(frm, "edtList")->text(), QStringLiteral("/data/lists/golf.txt"));
    EXPECT_EQ(test::Find<QLineEdit>(frm, "edtAddKeyword")->text(), QStringLiteral("typed"))
        << "the keyword box is not touched";
    frm.btnBrowseClick(); // cancelled: nothing changes
    EXPECT_EQ(test::Find<QLineEdit>(frm, "edtList")->text(), QStringLiteral("/data/lists/golf.txt"));
    EXPECT_EQ(startedIn,
              (std::vector<QString>{QStringLiteral("/opt/vorlith/"), QStringLiteral("/data/lists")}));
}

TEST(FSelectSearch, LayoutTabOrderFocusAndTheRadioGroup) {
    TfrmSelSearch frm;
    ExpectLayout(frm, "Select Search Type", {480, 114},
                 {{test::Find<QRadioButton>(frm, "bsSkinCheckRadioBox1"),
                   {11, 15, 397, 20},
                   "Precise Search Eg: \"golf clubs\" Should appear the word in the same order."},
                  {test::Find<QRadioButton>(frm, "bsSkinCheckRadioBox2"),
                   {11, 41, 446, 20},
                   "Broad Search Eg: golf clubs, any word no matther the order or position in the text."},
                  {test::Find<QPushButton>(frm, "btnOk"), {161, 75, 81, 21}, "Ok"},
                  {test::Find<QPushButton>(frm, "btnCancel"), {251, 75, 82, 21}, "Cancel"}});
    EXPECT_TRUE(frm.PreciseSelected());
    EXPECT_EQ(TabChain(test::Find<QPushButton>(frm, "btnOk"), 3),
              (std::vector<QWidget*>{test::Find<QPushButton>(frm, "btnOk"),
                                     test::Find<QPushButton>(frm, "btnCancel"),
                                     test::Find<QRadioButton>(frm, "bsSkinCheckRadioBox1")}));
    frm.show();
    EXPECT_EQ(frm.focusWidget(), test::Find<QPushButton>(frm, "btnOk"));

    QTest::mouseClick(test::Find<QRadioButton>(frm, "bsSkinCheckRadioBox1"), Qt::LeftButton);
    EXPECT_TRUE(frm.PreciseSelected()) << "clicking the selected choice changes nothing";
    QTest::mouseClick(test::Find<QRadioButton>(frm, "bsSkinCheckRadioBox2"), Qt::LeftButton);
    EXPECT_FALSE(frm.PreciseSelected());
    QTest::mouseClick(test::Find<QRadioButton>(frm, "bsSkinCheckRadioBox2"), Qt::LeftButton);
    EXPECT_TRUE(test::Find<QRadioButton>(frm, "bsSkinCheckRadioBox2")->isChecked())
        << "broad cannot be deselected by itself";
}

TEST(FSelectSearch, EnterAtOncePressesOkWithThePreciseChoice) {
    TfrmSelSearch frm;
    test::WhenModalOpens([](QWidget* dialog) { QTest::keyClick(dialog->focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(frm.exec(), QDialog::Accepted);
    EXPECT_TRUE(frm.PreciseSelected());
}

} // namespace
} // namespace vorlith
