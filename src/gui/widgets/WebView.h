#pragma once
// EmbeddedWB1: shows the content at a web address inside a window; used for the security image.
// It loads with a network manager of its own, so it shares no cookies or connections with the
// program's HTTP client.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QWidget>

class QBuffer;
class QLabel;
class QMovie;
class QNetworkAccessManager;
class QNetworkReply;

namespace vorlith {

class WebView : public QWidget {
    Q_OBJECT
public:
    // Text shown while nothing has been loaded, and after a load that failed.
    static constexpr const char* LoadingText = "Loading...";
    static constexpr const char* FailureText = "The image could not be loaded.";
    // Larger answers and images are treated as failed loads.
    static constexpr qint64 MaxBytes = 8 * 1024 * 1024;
    static constexpr int MaxSide = 4096;

    explicit WebView(QWidget* parent = nullptr);
    ~WebView() override;

    // Loads and shows the content at the address; a load under way is dropped. Never throws:
    // an address that cannot be loaded shows the failure text.
    void Navigate(const QString& address);
    // Loads the last address again; what is shown stays until the new answer arrives.
    void Refresh();

    QString Address() const { return address_; }
    bool Loading() const { return reply_ != nullptr; }
    // What the view shows: a text, a still image or an animation, at this size.
    QString ShownText() const;
    bool ShowsImage() const { return shownSize_.isValid(); }
    bool Animated() const { return movie_ != nullptr; }
    QSize ShownSize() const { return shownSize_; }

Q_SIGNALS:
    // Every Navigate or Refresh that is not superseded ends with exactly one of these.
    void LoadFinished(bool ok);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Load();
    void Finished(QNetworkReply* reply);
    bool ShowContent(const QByteArray& data);
    void ShowText(const QString& text);
    void ClearImage();
    void Fit();

    QNetworkAccessManager* manager_;
    QNetworkReply* reply_ = nullptr;
    QLabel* display_;
    QString address_;
    QByteArray data_;
    QBuffer* movieData_ = nullptr;
    QMovie* movie_ = nullptr;
    QImage still_;
    QSize naturalSize_;
    QSize shownSize_;
};

} // namespace vorlith
