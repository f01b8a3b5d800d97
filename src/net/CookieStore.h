#pragma once
// The client's one cookie store for the whole run; kept in memory only, never written to disk.

#include "net/HttpAddress.h"
#include "net/HttpResponseParser.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <string>

namespace vorlith {

class CookieStore : public QNetworkCookieJar {
    Q_OBJECT
public:
    // The limits browsers keep (RFC 6265 section 6.1): a server cannot grow the store, nor the
    // header we send back, without bound.
    static constexpr int MaxCookieBytes = 4096; // name and value together
    static constexpr int MaxPerDomain = 50;     // the oldest goes first
    static constexpr int MaxCookies = 3000;     // the oldest goes first
    static constexpr std::size_t MaxHeaderBytes = 8192;

    using QNetworkCookieJar::QNetworkCookieJar;

    // Stores every Set-Cookie and Set-Cookie2 of an answer through the jar's checks, which refuse
    // a cookie for another domain or for a public suffix. Returns how many were accepted.
    int StoreFromAnswer(const HttpResponseHead& head, const HttpAddress& from);
    // The value of the Cookie header for a request to that address; empty when none matches.
    // Longer paths come first; cookies that would take it past MaxHeaderBytes are left out.
    std::string CookieHeader(const HttpAddress& to) const;

    // The jar's matching rules, in one pass and a stable sort: the jar's own sorts by insertion,
    // which costs the square of the number of matches.
    QList<QNetworkCookie> cookiesForUrl(const QUrl& url) const override;

    int Count() const { return static_cast<int>(allCookies().size()); }

private:
    // Drops the oldest cookies while the domain or the store holds too many.
    void Trim(const QString& domain);
};

} // namespace vorlith
