#include "net/CookieStore.h"

#include <QNetworkCookie>
#include <QUrl>
#include <cctype>

namespace vorlith {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

QUrl UrlOf(const HttpAddress& address) {
    const std::string text = address.Text();
    return QUrl::fromEncoded(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
                             QUrl::TolerantMode);
}

// Sent back verbatim, such a cookie would forge headers of our next request.
bool HoldsLineBreakOrNul(const QByteArray& text) {
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

} // namespace

int CookieStore::StoreFromAnswer(const HttpResponseHead& head, const HttpAddress& from) {
    const QUrl url = UrlOf(from);
    int accepted = 0;
    for (const auto& header : head.Headers) {
        if (!SameName(header.Name, "Set-Cookie") && !SameName(header.Name, "Set-Cookie2"))
            continue;
        const QList<QNetworkCookie> cookies = QNetworkCookie::parseCookies(
            QByteArray(header.Value.data(), static_cast<qsizetype>(header.Value.size())));
        // One at a time, so that one refused cookie does not take its neighbours with it.
        for (const auto& cookie : cookies)
            if (!HoldsLineBreakOrNul(cookie.name()) && !HoldsLineBreakOrNul(cookie.value()) &&
                setCookiesFromUrl({cookie}, url))
                ++accepted;
    }
    return accepted;
}

std::string CookieStore::CookieHeader(const HttpAddress& to) const {
    std::string header;
    for (const auto& cookie : cookiesForUrl(UrlOf(to))) {
        if (!header.empty())
            header += "; ";
        header += cookie.toRawForm(QNetworkCookie::NameAndValueOnly).toStdString();
    }
    return header;
}

} // namespace vorlith
