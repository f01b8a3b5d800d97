// Gather Keywords from the main window's button, through the real security image window.
#include "gui/FCaptcha.h"
#include "gui/FMain.h"
#include "gui/widgets/WebView.h"
#include "support/ScriptedHttpServer.h"
#include "support/WidgetChecks.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::Reply;
using test::ScriptedHttpServer;

std::string Png() {
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

TEST(HarvestWindow, GatherKeywordsThroughTheSecurityImage) {
    QTemporaryDir folder;
    ScriptedHttpServer server;
    Endpoints endpoints;
    endpoints.SuggestionServiceBase = server.Url("");
    TfrmMain frm(folder.path().toStdString(), endpoints);
    frm.show();
    frm.Ws().MainKeyword = "golf";

    const std::string challenge = "<p>Please enter the characters in the image</p>"
                                  "<input type=\"hidden\" name=\"random\" value=\"42\">"
                                  "<input type=\"hidden\" name=\"seed\" value=\"golf\"><img src=\"" +
                                  server.Url("/image.png?r=42&amp;s=golf") + "\">";
    server.Next().Send(Reply::Answer(200, challenge)).Close();
    server.Next().Send(Reply::Answer(200, Png())).Close();
    server.Next()
        .Send(Reply::Answer(200, "<table><tfoot></tfoot><tbody><tr><td>1,234</td><td><a href=\"x\">golf "
                                 "clubs</a></td></tr></tbody></table>"))
        .Close();

    bool imageShown = false;
    test::WhenModalOpens([&imageShown](QWidget* modal) {
        auto* captcha = qobject_cast<TfrmCaptcha*>(modal);
        ASSERT_NE(captcha, nullptr);
        if (test::Find<WebView>(captcha, "EmbeddedWB1")->Loading()) {
            QSignalSpy loaded(test::Find<WebView>(captcha, "EmbeddedWB1"), &WebView::LoadFinished);
            ASSERT_TRUE(loaded.wait(10000));
        }
        imageShown = test::Find<WebView>(captcha, "EmbeddedWB1")->ShowsImage();
        QTest::keyClicks(test::Find<QLineEdit>(captcha, "edtPassword"), QStringLiteral("x7k"));
        QTest::mouseClick(test::Find<QPushButton>(captcha, "btnOk"), Qt::LeftButton);
    });
    QTest::mouseClick(test::Find<QPushButton>(frm, "btnGatherKeyword"), Qt::LeftButton);
    // The harvest goes on in the event loop after the click.
    ASSERT_TRUE(QTest::qWaitFor([&frm] { return frm.Ws().Runs.Idle(); }, 20'000));

    EXPECT_TRUE(imageShown);
    ASSERT_EQ(server.Requests.size(), 3u);
    EXPECT_EQ(server.Requests[1].substr(0, server.Requests[1].find("\r\n")),
              "GET /image.png?r=42&s=golf HTTP/1.1");
    EXPECT_EQ(server.Requests[2].substr(0, server.Requests[2].find("\r\n")),
              "GET /keyword-suggestion-tool.html?password=x7k&random=42&seed=golf HTTP/1.1");
    ASSERT_EQ(frm.Ws().table.RowCount(), 1);
    EXPECT_EQ(frm.Ws().table.Cell(0, 0), "golf clubs");
    EXPECT_EQ(test::Find<QLabel>(frm, "SecondStatusPanel")->text(), QStringLiteral("1 items listed"));
    EXPECT_EQ(frm.size(), QSize(914, 597)) << "long status texts do not widen the window";
}

} // namespace
} // namespace vorlith
