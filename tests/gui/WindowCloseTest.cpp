// Closing the main window while a request waits inside a handler ends the request cleanly.
#include "commands/WindowCommands.h"
#include "gui/FMain.h"
#include "gui/widgets/MessageBox.h"
#include "support/Await.h"
#include "support/NetFixture.h"
#include "support/WidgetChecks.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace vorlith::test {
namespace {

TEST_F(NetTest, ClosingTheWindowEndsTheWaitingFetch) {
    TfrmMain frmMain(folder.path().toStdString());
    frmMain.show();
    Workspace& main = frmMain.Ws();
    server.Next().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc").Pause(5).Then([&] {
        frmMain.close();
    });
    std::string text = "x";
    EXPECT_FALSE(test::FetchNow(main, server.Url("/"), text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(main.Runs.Aborted());
    EXPECT_FALSE(main.http.Busy());
    EXPECT_FALSE(frmMain.isVisible());
    EXPECT_FALSE(std::filesystem::exists(main.ProgramFolder + "test.html"));
    // A later fetch still refuses nothing but the flag.
    EXPECT_FALSE(test::FetchNow(main, server.Url("/"), text));
    EXPECT_EQ(server.Connections, 1);
}

// Nothing waits in a nested loop: the application's exit leaves its loop at once, even with a
// fetch suspended; stopping it then ends it cleanly.
TEST_F(NetTest, ApplicationExitIsNotHeldByAWaitingFetch) {
    server.Next().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc").Pause(5).Then([] {
        QCoreApplication::exit(7);
    });
    QCoro::Task<FetchResult> fetch = FetchPage(ws, server.Url("/"));
    EXPECT_EQ(QCoreApplication::exec(), 7);
    EXPECT_FALSE(fetch.isReady());
    EXPECT_TRUE(ws.http.Busy());
    ws.Runs.Stop();
    ws.http.Disconnect();
    EXPECT_FALSE(test::Await(std::move(fetch)).Ok);
    EXPECT_EQ(ws.MainStatusText(), kAborted);
    EXPECT_FALSE(ScratchExists());
    ws.Runs.ClearAborted();
    server.Otherwise().Send(Reply::Answer(200, "x"));
    EXPECT_TRUE(Fetch());
}

TEST(WindowClose, UnsavedRowsAskFirstAndCancelKeepsTheWindowOpen) {
    QTemporaryDir folder;
    TfrmMain frmMain(folder.path().toStdString());
    frmMain.show();
    frmMain.Ws().table.AppendKeyword("golf clubs");
    for (const bool ok : {false, true}) {
        QString asked;
        WhenModalOpens([&asked, ok](QWidget* modal) {
            auto* box = qobject_cast<MessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            asked = modal->windowTitle() + QStringLiteral(": ") + Find<QLabel>(modal, "lblText")->text();
            QTest::mouseClick(ok ? box->OkButton() : box->CancelButton(), Qt::LeftButton);
        });
        frmMain.close();
        EXPECT_EQ(asked.toStdString(), "Warning: " + std::string(UnsavedWorkQuestion));
        EXPECT_EQ(frmMain.isVisible(), !ok);
    }
}

TEST(WindowClose, NothingUnsavedClosesWithoutAQuestion) {
    QTemporaryDir folder;
    TfrmMain frmMain(folder.path().toStdString());
    frmMain.show();
    EXPECT_TRUE(frmMain.close());
    EXPECT_FALSE(frmMain.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace vorlith::test
