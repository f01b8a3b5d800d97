#include "gui/widgets/WebView.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace vorlith {
namespace {

// A web server on 127.0.0.1 that answers each path with a fixed status and body, or holds the
// connection without answering when the path is marked silent.
class ImageServer : public QObject {
public:
    struct Answer {
        int Status = 200;
        QByteArray Body;
        bool Silent = false;
    };

    ImageServer() {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
        });
    }

    QString Url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path));
    }
    std::map<QByteArray, Answer> Routes;
    std::map<QByteArray, int> Hits;

private:
    void Serve(QTcpSocket* socket) {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        ++Hits[path];
        const auto route = Routes.find(path);
        const Answer answer = route == Routes.end() ? Answer{404, "not here"} : route->second;
        if (answer.Silent)
            return;
        socket->write("HTTP/1.1 " + QByteArray::number(answer.Status) + " X\r\nContent-Length: " +
                      QByteArray::number(answer.Body.size()) + "\r\nConnection: close\r\n\r\n" + answer.Body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<QTcpSocket*, QByteArray> pending_;
};

void Le16(QByteArray& bytes, int value) {
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>((value >> 8) & 0xFF));
}

// A GIF of 1 x 1 pixel frames on a screen of the given size.
QByteArray Gif(int frames, int width = 1, int height = 1) {
    QByteArray gif("GIF89a");
    Le16(gif, width);
    Le16(gif, height);
    gif.append("\x80\x00\x00", 3);             // two-colour global table
    gif.append("\x00\x00\x00\xff\xff\xff", 6); // black, white
    if (frames > 1)
        gif.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19); // loop for ever
    for (int i = 0; i < frames; ++i) {
        gif.append("\x21\xf9\x04\x00\x0a\x00\x00\x00", 8);          // 100 ms a frame
        gif.append("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10); // 1 x 1 at 0, 0
        gif.append("\x02\x02\x44\x01\x00", 5);
    }
    gif.append(';');
    return gif;
}

QByteArray Png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class WebViewTest : public ::testing::Test {
protected:
    WebViewTest() { view.resize(280, 111); }

    // Navigates and waits for the load's end; returns its outcome.
    bool Load(const QString& address) {
        QSignalSpy done(&view, &WebView::LoadFinished);
        view.Navigate(address);
        if (done.isEmpty() && !done.wait(10000))
            return false;
        EXPECT_EQ(done.count(), 1);
        return done.first().first().toBool();
    }

    ImageServer server;
    WebView view;
};

struct ContentCase {
    const char* Name;
    int Status;
    QByteArray Body;
    bool Shown;
    bool Animated;
};

class WebViewContent : public WebViewTest, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(WebViewContent, ShowsImagesAndATextForAnythingElse) {
    const ContentCase& c = GetParam();
    server.Routes["/image"] = {c.Status, c.Body};
    EXPECT_EQ(Load(server.Url("/image")), c.Shown);
    EXPECT_EQ(view.ShowsImage(), c.Shown);
    EXPECT_EQ(view.Animated(), c.Animated);
    EXPECT_EQ(view.ShownText(), c.Shown ? QString() : QString::fromLatin1(WebView::FailureText));
    EXPECT_FALSE(view.Loading());
}

INSTANTIATE_TEST_SUITE_P(
    Table, WebViewContent,
    ::testing::Values(ContentCase{"Png", 200, Png(100, 40), true, false},
                      ContentCase{"SingleFrameGif", 200, Gif(1), true, false},
                      ContentCase{"AnimatedGif", 200, Gif(3), true, true},
                      ContentCase{"NotFound", 404, Png(100, 40), false, false},
                      ContentCase{"ServerError", 500, Gif(2), false, false},
                      ContentCase{"EmptyBody", 200, {}, false, false},
                      ContentCase{"HtmlPage", 200, "<html><body>captcha</body></html>", false, false},
                      ContentCase{"TruncatedGif", 200, Gif(2).left(20), false, false},
                      ContentCase{"TruncatedPng", 200, Png(100, 40).left(60), false, false},
                      ContentCase{"HugeDeclaredSize", 200, Gif(1, 60000, 60000), false, false},
                      ContentCase{"TooManyBytes", 200, Png(10, 10) + QByteArray(WebView::MaxBytes, '\0'),
                                  false, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WebViewTest, ShrinksALargeImageKeepingItsProportionsAndLeavesASmallOneAlone) {
    server.Routes["/wide"] = {200, Png(840, 111)};
    server.Routes["/small"] = {200, Png(50, 20)};
    ASSERT_TRUE(Load(server.Url("/wide")));
    const QSize shown = view.ShownSize();
    EXPECT_LE(shown.width(), 280);
    EXPECT_LE(shown.height(), 111);
    EXPECT_GT(shown.width(), 250) << "fills the view's width";
    EXPECT_NEAR(shown.width() / static_cast<double>(shown.height()), 840.0 / 111.0, 0.5);
    ASSERT_TRUE(Load(server.Url("/small")));
    EXPECT_EQ(view.ShownSize(), QSize(50, 20));
}

TEST_F(WebViewTest, AddressesItCannotLoadShowTheTextAtOnce) {
    for (const char* address : {"", "captcha.gif", "/captcha.gif?a=1&b=2", "ftp://127.0.0.1/captcha.gif",
                                "file:///etc/hostname", "http://"}) {
        QSignalSpy done(&view, &WebView::LoadFinished);
        view.Navigate(QString::fromLatin1(address));
        ASSERT_EQ(done.count(), 1) << address;
        EXPECT_FALSE(done.first().first().toBool()) << address;
        EXPECT_EQ(view.ShownText(), QString::fromLatin1(WebView::FailureText)) << address;
    }
}

TEST_F(WebViewTest, RefreshLoadsTheAddressAgainAndAFailedReloadShowsText) {
    server.Routes["/image"] = {200, Png(60, 30)};
    ASSERT_TRUE(Load(server.Url("/image")));
    QSignalSpy done(&view, &WebView::LoadFinished);
    view.Refresh();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_TRUE(done.first().first().toBool());
    EXPECT_EQ(server.Hits["/image"], 2);

    server.Routes["/image"] = {503, "busy"};
    view.Refresh();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.last().first().toBool());
    EXPECT_EQ(view.ShownText(), QString::fromLatin1(WebView::FailureText));
    EXPECT_EQ(server.Hits["/image"], 3);
}

TEST_F(WebViewTest, RefreshBeforeAnyNavigateDoesNothing) {
    QSignalSpy done(&view, &WebView::LoadFinished);
    view.Refresh();
    EXPECT_FALSE(view.Loading());
    EXPECT_TRUE(done.isEmpty());
}

TEST_F(WebViewTest, ANewAddressDropsTheLoadUnderWay) {
    server.Routes["/stuck"] = {200, {}, true};
    server.Routes["/image"] = {200, Gif(2)};
    QSignalSpy done(&view, &WebView::LoadFinished);
    view.Navigate(server.Url("/stuck"));
    EXPECT_TRUE(view.Loading());
    view.Navigate(server.Url("/image"));
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(done.count(), 1);
    EXPECT_TRUE(done.first().first().toBool());
    EXPECT_TRUE(view.Animated());
}

TEST(WebView, DestroyedWhileALoadWaits) {
    ImageServer server;
    server.Routes["/stuck"] = {200, {}, true};
    auto view = std::make_unique<WebView>();
    view->Navigate(server.Url("/stuck"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.Hits["/stuck"] == 1; }, 10000));
    view.reset();
}

} // namespace
} // namespace vorlith
