// Every shipped skin draws the file dialogs and the message box readably: the text sampled from
// each part stands out from that part's background by a contrast ratio of at least 4.5 (WCAG's
// figure for body text).
#include "gui/FMain.h"
#include "gui/dialogs/FAddKeywords.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Skin.h"
#include "support/ScriptedUi.h"
#include "support/WidgetChecks.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace vorlith {
namespace {

double Linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(QRgb colour) {
    return 0.2126 * Linear(qRed(colour)) + 0.7152 * Linear(qGreen(colour)) + 0.0722 * Linear(qBlue(colour));
}

double Contrast(QRgb a, QRgb b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The part's background is its most frequent colour; its text is the pixel that differs most from
// it (the core of a glyph: anti-aliased edges only lie between the two).
double TextContrast(const QImage& image, const QRect& part) {
    std::map<QRgb, int> counts;
    const QRect inside = part.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    if (counts.empty())
        return 0;
    const QRgb background = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                return a.second < b.second;
                            })->first;
    double best = 1;
    for (const auto& [colour, count] : counts)
        best = std::max(best, Contrast(colour, background));
    return best;
}

QString SkinText(const char* name) {
    if (std::string(name) == "built-in")
        return BuiltInSkin();
    QFile file(QStringLiteral(VORLITH_SOURCE_DIR "/resources/skins/") + QString::fromLatin1(name) +
               QStringLiteral(".qss"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(file.readAll());
}

struct Sample {
    std::string Part;
    double Ratio;
};

// The parts of an open file dialog that carry text. The view shows details, whose columns after
// the name hold text only (no icons to mistake for text).
std::vector<Sample> SampleFileDialog(QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog)
        return {{"no file dialog opened", 0}};
    dialog->setViewMode(QFileDialog::Detail);
    auto* tree = test::Find<QTreeView>(dialog, "treeView");
    if (!QTest::qWaitFor([tree] { return tree->model()->rowCount(tree->rootIndex()) >= 1; }, 5000))
        return {{"the folder's files never showed", 0}};
    QTest::qWait(50);
    const QImage shot = dialog->grab().toImage();
    std::vector<Sample> samples;
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
        const auto* label = test::Find<QLabel>(dialog, name);
        samples.push_back({name, TextContrast(shot, test::ClientRect(label))});
    }
    for (const char* name : {"lookInCombo", "fileTypeCombo"}) {
        const auto* combo = test::Find<QComboBox>(dialog, name);
        // The text, without the drop-down arrow at the right.
        QRect rect = test::ClientRect(combo);
        rect.setWidth(rect.width() * 2 / 3);
        samples.push_back({name, TextContrast(shot, rect)});
    }
    QRect rows = test::ClientRect(tree->viewport());
    rows.setLeft(rows.left() + tree->header()->sectionPosition(1));
    samples.push_back({"treeView", TextContrast(shot, rows)});
    QRect header = test::ClientRect(tree->header());
    samples.push_back({"treeView header", TextContrast(shot, header)});
    return samples;
}

std::vector<Sample> SampleMessageBox(QWidget* modal) {
    const QImage shot = modal->grab().toImage();
    std::vector<Sample> samples{
        {"lblText", TextContrast(shot, test::ClientRect(test::Find(modal, "lblText")))}};
    for (const char* name : {"btnOk", "btnCancel"}) {
        QRect rect = test::ClientRect(test::Find(modal, name));
        samples.push_back({name, TextContrast(shot, rect.adjusted(3, 3, -3, -3))});
    }
    return samples;
}

enum class Dialog { Save, Browse, Information, Warning };

struct ContrastCase {
    const char* Skin;
    Dialog Shown;
    const char* Name;
};

class SkinContrast : public ::testing::TestWithParam<ContrastCase> {
protected:
    ~SkinContrast() override { ApplySkin(before_); }

private:
    QString before_ = qApp->styleSheet();
};

TEST_P(SkinContrast, TextStandsOutFromItsBackground) {
    const ContrastCase& c = GetParam();
    QTemporaryDir folder;
    for (const char* name : {"golf.txt", "results.csv"})
        QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    TfrmMain frmMain(folder.path().toStdString());
    ApplySkin(SkinText(c.Skin));
    frmMain.show();

    std::vector<Sample> samples;
    const bool file = c.Shown == Dialog::Save || c.Shown == Dialog::Browse;
    test::WhenModalOpens([&](QWidget* modal) {
        samples = file ? SampleFileDialog(modal) : SampleMessageBox(modal);
        qobject_cast<QDialog*>(modal)->reject();
    });
    switch (c.Shown) {
    case Dialog::Save:
        frmMain.AskSaveFile(frmMain.Ws().ProgramFolder, "");
        break;
    case Dialog::Browse: {
        test::ScriptedUi msgMain;
        TfrmAddKeywords dialog(msgMain, folder.path(), &frmMain);
        dialog.show();
        dialog.btnBrowseClick();
        break;
    }
    case Dialog::Information:
    case Dialog::Warning:
        frmMain.ShowMessage(c.Shown == Dialog::Information ? MessageKind::Information : MessageKind::Warning,
                            "Are you sure do you want to delete all?", MessageButtons::OkCancel);
        break;
    }
    ASSERT_FALSE(samples.empty());
    for (const Sample& sample : samples)
        EXPECT_GE(sample.Ratio, 4.5) << c.Skin << ": " << sample.Part;
}

INSTANTIATE_TEST_SUITE_P(Skins, SkinContrast,
                         ::testing::Values(ContrastCase{"built-in", Dialog::Save, "BuiltInSave"},
                                           ContrastCase{"built-in", Dialog::Browse, "BuiltInBrowse"},
                                           ContrastCase{"built-in", Dialog::Information,
                                                        "BuiltInInformation"},
                                           ContrastCase{"built-in", Dialog::Warning, "BuiltInWarning"},
                                           ContrastCase{"harbour", Dialog::Save, "HarbourSave"},
                                           ContrastCase{"harbour", Dialog::Browse, "HarbourBrowse"},
                                           ContrastCase{"harbour", Dialog::Information, "HarbourInformation"},
                                           ContrastCase{"harbour", Dialog::Warning, "HarbourWarning"}),
                         [](const auto& info) { return std::string(info.param.Name); });

// The row tick boxes stand out from the rows, ticked or not, by 3:1 (WCAG's figure for the
// parts of a control). Only the box is sampled: the left of the No cell, before the number.
class TickContrast : public ::testing::TestWithParam<const char*> {
protected:
    ~TickContrast() override { ApplySkin(before_); }

private:
    QString before_ = qApp->styleSheet();
};

TEST_P(TickContrast, BoxesStandOutFromTheRows) {
    QTemporaryDir folder;
    TfrmMain frmMain(folder.path().toStdString());
    ApplySkin(SkinText(GetParam()));
    frmMain.Ws().table.AppendKeyword("golf");
    frmMain.Ws().table.AppendKeyword("tennis");
    frmMain.Ws().table.SetChecked(1, true);
    frmMain.show();
    auto* view = test::Find<QTableView>(&frmMain, "lvwItems");
    const QImage shot = view->viewport()->grab().toImage();
    for (const int row : {0, 1}) {
        QRect box = view->visualRect(view->model()->index(row, 0)).adjusted(1, 1, -1, -1);
        box.setWidth(std::min(box.width() / 3, 18));
        EXPECT_GE(TextContrast(shot, box), 3.0) << GetParam() << (row ? ": ticked" : ": unticked");
    }
}

INSTANTIATE_TEST_SUITE_P(Skins, TickContrast, ::testing::Values("built-in", "harbour"),
                         [](const auto& info) {
                             return std::string(info.param) == "harbour" ? std::string("Harbour")
                                                                         : std::string("BuiltIn");
                         });

// The measure itself: dark grey on white passes, light grey on white does not.
TEST(SkinContrast, TheMeasureTellsReadableFromFaint) {
    QImage image(40, 20, QImage::Format_RGB32);
    for (const auto& [ink, readable] :
         {std::pair{qRgb(0x59, 0x59, 0x59), true}, std::pair{qRgb(0xe6, 0xed, 0xf0), false}}) {
        image.fill(Qt::white);
        for (int x = 5; x < 15; ++x)
            image.setPixel(x, 10, ink);
        EXPECT_EQ(TextContrast(image, image.rect()) >= 4.5, readable);
    }
}

} // namespace
} // namespace vorlith
