#include "gui/widgets/WebView.h"

#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPixmap>

namespace vorlith {

namespace {
constexpr int MaxRedirects = 15;
constexpr int TransferTimeoutMs = 30000;

bool Loadable(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid())
        return false;
    if (scheme == QLatin1String("data"))
        return true;
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}
} // namespace

WebView::WebView(QWidget* parent)
    : QWidget(parent), manager_(new QNetworkAccessManager(this)), display_(new QLabel(this)) {
    setFocusPolicy(Qt::StrongFocus);
    display_->setObjectName(QStringLiteral("EmbeddedWB1Display"));
    display_->setAlignment(Qt::AlignCenter);
    display_->setTextFormat(Qt::PlainText);
    display_->setWordWrap(true);
    display_->setFrameShape(QFrame::StyledPanel);
    display_->setFrameShadow(QFrame::Sunken);
    display_->setGeometry(rect());
}

WebView::~WebView() {
    // Aborting emits finished at once; this object must not hear it while it is being destroyed.
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void WebView::Navigate(const QString& address) {
    address_ = address;
    ShowText(QString::fromLatin1(LoadingText));
    Load();
}

void WebView::Refresh() {
    if (address_.isNull())
        return;
    Load();
}

QString WebView::ShownText() const {
    return display_->text();
}

void WebView::Load() {
    if (reply_) {
        QNetworkReply* dropped = reply_;
        reply_ = nullptr;
        dropped->disconnect(this);
        dropped->abort();
        dropped->deleteLater();
    }
    const QUrl url(address_, QUrl::TolerantMode);
    if (!Loadable(url)) {
        ShowText(QString::fromLatin1(FailureText));
        Q_EMIT LoadFinished(false);
        return;
    }
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(TransferTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = manager_->get(request);
    reply_ = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > MaxBytes || total > MaxBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { Finished(reply); });
}

void WebView::Finished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != reply_)
        return;
    reply_ = nullptr;
    const bool ok = reply->error() == QNetworkReply::NoError && ShowContent(reply->read(MaxBytes + 1));
    if (!ok)
        ShowText(QString::fromLatin1(FailureText));
    Q_EMIT LoadFinished(ok);
}

bool WebView::ShowContent(const QByteArray& data) {
    if (data.isEmpty() || data.size() > MaxBytes)
        return false;
    QByteArray bytes = data;
    QBuffer probe(&bytes);
    QImageReader reader(&probe);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    // The declared size is checked before anything is decoded: a tiny file can declare a huge image.
    if (!size.isValid() || size.isEmpty() || size.width() > MaxSide || size.height() > MaxSide)
        return false;

    if (reader.supportsAnimation() && reader.imageCount() != 1) {
        ClearImage();
        data_ = std::move(bytes);
        movieData_ = new QBuffer(&data_, this);
        movie_ = new QMovie(movieData_, QByteArray(), this);
        if (!movie_->isValid() || !movie_->jumpToFrame(0) || movie_->currentImage().isNull()) {
            ClearImage();
            return false;
        }
        naturalSize_ = movie_->currentImage().size();
        display_->setMovie(movie_);
        Fit();
        movie_->start();
        return true;
    }

    QImage image = reader.read();
    if (image.isNull())
        return false;
    ClearImage();
    still_ = std::move(image);
    naturalSize_ = still_.size();
    Fit();
    return true;
}

void WebView::ShowText(const QString& text) {
    ClearImage();
    display_->setText(text);
}

void WebView::ClearImage() {
    display_->clear();
    delete movie_;
    movie_ = nullptr;
    delete movieData_;
    movieData_ = nullptr;
    data_.clear();
    still_ = QImage();
    naturalSize_ = QSize();
    shownSize_ = QSize();
}

// Shrinks the image to the view, keeping its proportions; a smaller image keeps its own size.
void WebView::Fit() {
    if (!naturalSize_.isValid())
        return;
    QSize target = naturalSize_;
    display_->setGeometry(rect());
    const QSize box = display_->contentsRect().size();
    if (box.width() > 0 && box.height() > 0 &&
        (target.width() > box.width() || target.height() > box.height()))
        target.scale(box, Qt::KeepAspectRatio);
    target = target.expandedTo(QSize(1, 1));
    shownSize_ = target;
    if (movie_)
        movie_->setScaledSize(target);
    else
        display_->setPixmap(
            QPixmap::fromImage(still_.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void WebView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    display_->setGeometry(rect());
    Fit();
}

} // namespace vorlith
