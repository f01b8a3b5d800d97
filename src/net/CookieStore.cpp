#include "net/CookieStore.h"

#include <QNetworkCookie>
#include <QDateTime>
#include <QUrl>
#include <algorithm>
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

// As the jar matches: a leading dot makes a domain cookie, without one the host must be equal.
bool DomainMatches(const QString& host, const QString& domain) {
    if (!domain.startsWith(u'.'))
        return host == domain;
    return host.endsWith(domain) || host == QStringView(domain).mid(1);
}

bool PathMatches(const QString& path, const QString& cookiePath) {
    if (!(path.isEmpty() && cookiePath == u"/") && !path.startsWith(cookiePath))
        return false;
    return path.size() == cookiePath.size() || cookiePath.endsWith(u'/') || path.at(cookiePath.size()) == u'/';
}

QStringView BareDomain(const QString& domain) {
    return domain.startsWith(u'.') ? QStringView(domain).mid(1) : QStringView(domain);
}

} // namespace

QList<QNetworkCookie> CookieStore::cookiesForUrl(const QUrl& url) const {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool encrypted = url.scheme() == u"https";
    const QString host = url.host();
    const QString path = url.path();
    QList<QNetworkCookie> result;
    for (const auto& cookie : allCookies()) {
        if (!DomainMatches(host, cookie.domain()) || !PathMatches(path, cookie.path()))
            continue;
        if (!cookie.isSessionCookie() && cookie.expirationDate() < now)
            continue;
        if (cookie.isSecure() && !encrypted)
            continue;
        // The jar's own check refuses a domain that is a public suffix of another host.
        if (cookie.domain().startsWith(u'.') && !validateCookie(cookie, url))
            continue;
        result.append(cookie);
    }
    std::stable_sort(result.begin(), result.end(), [](const QNetworkCookie& a, const QNetworkCookie& b) {
        return a.path().size() > b.path().size();
    });
    return result;
}

void CookieStore::Trim(const QString& domain) {
    QList<QNetworkCookie> all = allCookies();
    const QStringView bare = BareDomain(domain);
    qsizetype inDomain = 0;
    for (const auto& cookie : all)
        inDomain += BareDomain(cookie.domain()) == bare ? 1 : 0;
    if (inDomain <= MaxPerDomain && all.size() <= MaxCookies)
        return;
    // The jar appends a new or replaced cookie, so the list runs from oldest to newest.
    QList<QNetworkCookie> kept;
    kept.reserve(all.size());
    qsizetype overDomain = inDomain - MaxPerDomain;
    for (const auto& cookie : all) {
        if (overDomain > 0 && BareDomain(cookie.domain()) == bare) {
            --overDomain;
            continue;
        }
        kept.append(cookie);
    }
    if (kept.size() > MaxCookies)
        kept.erase(kept.begin(), kept.begin() + (kept.size() - MaxCookies));
    setAllCookies(kept);
}

int CookieStore::StoreFromAnswer(const HttpResponseHead& head, const HttpAddress& from) {
    const QUrl url = UrlOf(from);
    int accepted = 0;
    for (const auto& header : head.Headers) {
        if (!SameName(header.Name, "Set-Cookie") && !SameName(header.Name, "Set-Cookie2"))
            continue;
        const QList<QNetworkCookie> cookies = QNetworkCookie::parseCookies(
            QByteArray(header.Value.data(), static_cast<qsizetype>(header.Value.size())));
        // One at a time, so that one refused cookie does not take its neighbours with it.
        for (QNetworkCookie cookie : cookies) {
            if (HoldsLineBreakOrNul(cookie.name()) || HoldsLineBreakOrNul(cookie.value()) ||
                cookie.name().size() + cookie.value().size() > MaxCookieBytes)
                continue;
            cookie.normalize(url);
            if (!setCookiesFromUrl({cookie}, url))
                continue;
            ++accepted;
            Trim(cookie.domain());
        }
    }
    return accepted;
}

std::string CookieStore::CookieHeader(const HttpAddress& to) const {
    std::string header;
    for (const auto& cookie : cookiesForUrl(UrlOf(to))) {
        const QByteArray pair = cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
        const std::size_t separator = header.empty() ? 0 : 2;
        if (header.size() + separator + static_cast<std::size_t>(pair.size()) > MaxHeaderBytes)
            continue;
        if (separator)
            header += "; ";
        header.append(pair.constData(), static_cast<std::size_t>(pair.size()));
    }
    return header;
}

} // namespace vorlith
