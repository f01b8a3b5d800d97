// Gather Data in the real window against the stand-in: the search type dialog answered by a click,
// the button reading "Stop" while the run waits, and Stop pressed on it mid-run. With
// VORLITH_SCREENSHOTS set to a folder, the window is saved there as it fills and when stopped.
#include "StandinServer.h"
#include "gui/FMain.h"
#include "gui/dialogs/FSelectSearch.h"
#include "support/Await.h"
#include "support/WidgetChecks.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

class GatherDataWindow : public ::testing::Test {
protected:
    GatherDataWindow() : server(Latency(40)) {
        const std::string base = "http://127.0.0.1:" + std::to_string(server.Start());
        Endpoints endpoints{base, base, base, base, base, base};
        frm = std::make_unique<TfrmMain>(folder.path().toStdString(), endpoints);
        frm->show();
        (void)QTest::qWaitForWindowExposed(frm.get());
        // The start-up update check goes first: it must not fire inside a run's wait.
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return !test::Find<QTimer>(&*frm, "Timer1")->isActive() && !frm->Ws().http.Busy(); }));
        for (const char* keyword :
             {"golf clubs", "golf balls", "tennis rackets", "chess sets", "kites", "piano"})
            frm->Ws().table.AppendKeyword(keyword);
    }
    ~GatherDataWindow() override {
        frm.reset();
        server.Stop();
    }
    static standin::Options Latency(int ms) {
        standin::Options options;
        options.LatencyMs = ms;
        return options;
    }

    // Answers the search type dialog with a click once it is up.
    void AnswerSearchType(bool precise) {
        QTimer::singleShot(0, frm.get(), [precise] {
            auto* dialog = qobject_cast<TfrmSelSearch*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            (precise ? test::Find<QRadioButton>(dialog, "bsSkinCheckRadioBox1")
                     : test::Find<QRadioButton>(dialog, "bsSkinCheckRadioBox2"))
                ->click();
            test::Find<QPushButton>(dialog, "btnOk")->click();
        });
    }
    // Runs the check every 5 ms while the run goes on.
    void WhileRunning(std::function<void()> check) {
        watch = std::make_unique<QTimer>();
        watch->setInterval(5);
        QObject::connect(watch.get(), &QTimer::timeout, frm.get(), [this, check = std::move(check)] {
            if (!frm->Ws().Runs.Idle())
                check();
        });
        watch->start();
    }
    std::string Cell(int row, Column column) {
        return std::string(frm->Ws().table.Cell(row, CellOf(column)));
    }
    void Screenshot(const char* name) {
        const QString folderName = qEnvironmentVariable("VORLITH_SCREENSHOTS");
        if (!folderName.isEmpty())
            frm->grab().save(folderName + QLatin1Char('/') + QLatin1String(name));
    }

    QTemporaryDir folder;
    standin::StandinServer server;
    std::unique_ptr<TfrmMain> frm;
    std::unique_ptr<QTimer> watch;
};

TEST_F(GatherDataWindow, FillsTheThreeColumnsWithTheButtonReadingStopMeanwhile) {
    bool sawStop = false;
    bool headerClickable = false;
    bool shot = false;
    WhileRunning([&] {
        sawStop =
            sawStop || test::Find<QPushButton>(&*frm, "btnGatherData")->text() == QStringLiteral("Stop");
        headerClickable = headerClickable ||
                          test::Find<QTableView>(&*frm, "lvwItems")->horizontalHeader()->sectionsClickable();
        if (!shot && !Cell(3, Column::Google).empty()) {
            shot = true;
            Screenshot("gather-data-running.png");
        }
    });
    AnswerSearchType(true);
    test::Find<QPushButton>(&*frm, "btnGatherData")->click();
    // The run goes on in the event loop after the click.
    EXPECT_TRUE(QTest::qWaitFor([this] { return frm->Ws().Runs.Idle(); }, 30'000));
    watch->stop();

    EXPECT_TRUE(sawStop);
    EXPECT_FALSE(headerClickable) << "a sort could reorder the rows under the run";
    for (int row = 0; row < 6; ++row)
        for (Column column : {Column::Google, Column::Yahoo, Column::Msn})
            EXPECT_FALSE(Cell(row, column).empty()) << row;
    EXPECT_EQ(test::Find<QPushButton>(&*frm, "btnGatherData")->text(), QStringLiteral("Gather Data"));
    EXPECT_TRUE(test::Find<QTableView>(&*frm, "lvwItems")->horizontalHeader()->sectionsClickable());
    Screenshot("gather-data-filled.png");
}

TEST_F(GatherDataWindow, StopOnTheButtonEndsTheRunMidway) {
    std::vector<std::string> atStop;
    QString captionAtOnce;
    WhileRunning([&] {
        if (!atStop.empty() || Cell(1, Column::Google).empty())
            return;
        for (int row = 0; row < 6; ++row)
            for (Column column : {Column::Google, Column::Yahoo, Column::Msn})
                atStop.push_back(Cell(row, column));
        test::Find<QPushButton>(&*frm, "btnGatherData")->click(); // handled while the run waits
        captionAtOnce = test::Find<QPushButton>(&*frm, "btnGatherData")->text();
        Screenshot("gather-data-stopped.png");
    });
    AnswerSearchType(false);
    test::Find<QPushButton>(&*frm, "btnGatherData")->click();
    // The run goes on in the event loop after the click.
    EXPECT_TRUE(QTest::qWaitFor([this] { return frm->Ws().Runs.Idle(); }, 30'000));
    watch->stop();

    ASSERT_FALSE(atStop.empty());
    EXPECT_EQ(captionAtOnce, QStringLiteral("Gather Data"));
    // Nothing is written after Stop, and the last rows were never reached.
    std::size_t i = 0;
    for (int row = 0; row < 6; ++row)
        for (Column column : {Column::Google, Column::Yahoo, Column::Msn})
            EXPECT_EQ(Cell(row, column), atStop[i++]) << row;
    EXPECT_TRUE(Cell(5, Column::Google).empty());
    EXPECT_TRUE(frm->Ws().Runs.Aborted());
    EXPECT_FALSE(frm->Ws().Runs.GatherDataRunning());
    EXPECT_TRUE(test::Find<QTableView>(&*frm, "lvwItems")->horizontalHeader()->sectionsClickable());
}

TEST_F(GatherDataWindow, ClosingTheWindowBetweenTwoRequestsEndsTheRun) {
    // Closed as a count is written, when no request waits.
    bool closed = false;
    bool busyAtClose = true;
    bool asked = false;
    QObject::connect(&frm->Ws().table, &KeywordTable::CellsChanged, frm.get(), [&] {
        if (!closed && !Cell(1, Column::Google).empty()) {
            closed = true;
            busyAtClose = frm->Ws().http.Busy();
            // A run under way: the window asks before it closes; OK closes.
            test::WhenModalOpens([&asked](QWidget* modal) {
                asked = true;
                QTest::mouseClick(test::Find<QPushButton>(modal, "btnOk"), Qt::LeftButton);
            });
            frm->close();
        }
    });
    AnswerSearchType(true);
    test::Find<QPushButton>(&*frm, "btnGatherData")->click();
    // The run goes on in the event loop after the click.
    EXPECT_TRUE(QTest::qWaitFor([this] { return frm->Ws().Runs.Idle(); }, 30'000));
    ASSERT_TRUE(closed);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(busyAtClose);
    EXPECT_TRUE(Cell(1, Column::Yahoo).empty()) << "the run went on behind the closed window";
    EXPECT_FALSE(frm->Ws().Runs.GatherDataRunning());
}

} // namespace
} // namespace vorlith
