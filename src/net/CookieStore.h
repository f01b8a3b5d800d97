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
    using QNetworkCookieJar::QNetworkCookieJar;

    // Stores every Set-Cookie and Set-Cookie2 of an answer through the jar's checks, which refuse
    // a cookie for another domain or for a public suffix. Returns how many were accepted.
    int StoreFromAnswer(const HttpResponseHead& head, const HttpAddress& from);
    // The value of the Cookie header for a request to that address; empty when none matches.
    std::string CookieHeader(const HttpAddress& to) const;

    int Count() const { return static_cast<int>(allCookies().size()); }
};

} // namespace vorlith
