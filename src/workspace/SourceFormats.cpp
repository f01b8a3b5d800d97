#include "workspace/SourceFormats.h"

#include "text/UUtils.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace vorlith {

namespace {

constexpr int MaxRetryAfterMs = 60'000;
constexpr int MissingRetryAfterMs = 5'000;

std::string Utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray Bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<std::string> Steps(std::string_view path) {
    std::vector<std::string> steps;
    while (!path.empty()) {
        const auto slash = path.find('/');
        if (const std::string_view step = path.substr(0, slash); !step.empty())
            steps.emplace_back(step);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return steps;
}

class Collector {
public:
    explicit Collector(std::size_t limit) : limit_(limit) {}
    bool Full() const { return limit_ != 0 && texts.size() >= limit_; }
    void Add(std::string text) {
        if (!Full())
            texts.push_back(std::move(text));
    }
    std::vector<std::string> texts;

private:
    std::size_t limit_;
};

void WalkJson(const QJsonValue& value, const std::vector<std::string>& steps, std::size_t at, Collector& out,
              bool numbersToo) {
    if (out.Full())
        return;
    if (at == steps.size()) {
        if (value.isString())
            out.Add(Utf8(value.toString()));
        else if (numbersToo && value.isDouble() && std::isfinite(value.toDouble()) && value.toDouble() >= 0)
            out.Add(std::to_string(static_cast<unsigned long long>(std::min(value.toDouble(), 1e18))));
        return;
    }
    const std::string& step = steps[at];
    if (step == "*") {
        if (value.isArray())
            for (const QJsonValue& item : value.toArray())
                WalkJson(item, steps, at + 1, out, numbersToo);
        else if (value.isObject())
            for (const QJsonValue& item : value.toObject())
                WalkJson(item, steps, at + 1, out, numbersToo);
        return;
    }
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(step.data(), step.data() + step.size(), index);
    if (value.isArray() && error == std::errc() && end == step.data() + step.size()) {
        const QJsonArray array = value.toArray();
        if (index < static_cast<std::size_t>(array.size()))
            WalkJson(array.at(static_cast<qsizetype>(index)), steps, at + 1, out, numbersToo);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        const auto found = object.constFind(QString::fromUtf8(step.data(), static_cast<qsizetype>(step.size())));
        if (found != object.constEnd())
            WalkJson(*found, steps, at + 1, out, numbersToo);
    }
}

ReadTexts ReadJson(std::string_view text, std::string_view path, std::size_t limit, bool numbersToo) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(Bytes(text), &error);
    if (error.error != QJsonParseError::NoError)
        return {{}, "the answer is not JSON (" + Utf8(error.errorString()) + ")"};
    const QJsonValue root = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    Collector out(limit);
    WalkJson(root, Steps(path), 0, out, numbersToo);
    return {std::move(out.texts), {}};
}

ReadTexts ReadXml(std::string_view text, std::string_view path, std::size_t limit) {
    std::vector<std::string> steps = Steps(path);
    std::string attribute;
    if (!steps.empty() && steps.back().starts_with('@')) {
        attribute = steps.back().substr(1);
        steps.pop_back();
    }
    QXmlStreamReader reader(Bytes(text));
    Collector out(limit);
    // onPath[k]: the open element at depth k (the root is 0) lies on the path.
    std::vector<bool> onPath;
    while (!reader.atEnd() && !out.Full()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            onPath.pop_back();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const std::size_t depth = onPath.size();
        bool matches = depth == 0;
        if (depth > 0 && onPath.back() && depth <= steps.size()) {
            const std::string& step = steps[depth - 1];
            matches = step == "*" || Utf8(reader.name().toString()) == step;
        }
        if (matches && depth == steps.size()) {
            if (!attribute.empty()) {
                const auto attributes = reader.attributes();
                const QString name = QString::fromUtf8(attribute.data(), static_cast<qsizetype>(attribute.size()));
                if (attributes.hasAttribute(name))
                    out.Add(Utf8(attributes.value(name).toString()));
            } else {
                out.Add(Utf8(reader.readElementText(QXmlStreamReader::IncludeChildElements)));
                continue; // the element is read to its end
            }
        }
        onPath.push_back(matches);
    }
    // A broken or cut answer is a failure, whatever was read before the break.
    if (reader.hasError())
        return {{}, "the answer is not XML (" + Utf8(reader.errorString()) + ")"};
    return {std::move(out.texts), {}};
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of a group separator at the start of text, or 0.
std::size_t SeparatorLength(std::string_view text) {
    if (text.empty())
        return 0;
    if (text[0] == ',' || text[0] == '.' || text[0] == '\'' || text[0] == ' ')
        return 1;
    if (text.starts_with("\xC2\xA0"))
        return 2;
    if (text.starts_with("\xE2\x80\xAF"))
        return 3;
    return 0;
}

} // namespace

std::string DecodeBody(std::string_view body, std::string_view contentType, std::string_view charset) {
    std::string name(charset);
    if (name.empty()) {
        const std::string type = AsciiLowered(contentType);
        if (const auto at = type.find("charset="); at != std::string::npos) {
            std::string_view value = std::string_view(type).substr(at + 8);
            value = value.substr(0, value.find_first_of("; \t"));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\''))
                value = value.substr(1, value.size() - 2);
            name = value;
        }
    }
    const std::string lowered = AsciiLowered(name);
    if (lowered.empty() || lowered == "utf-8" || lowered == "utf8")
        return std::string(body);
    QStringDecoder decoder(name.c_str());
    if (!decoder.isValid())
        return std::string(body);
    return Utf8(decoder.decode(Bytes(body)));
}

ReadTexts ReadEntryTexts(const SourceEntry& entry, std::string_view text, std::size_t limit) {
    const bool count = entry.Kind == SourceKind::Count;
    switch (entry.Format) {
    case SourceFormat::Builtin:
        return {{}, "the built-in format is read by the built-in parsers"};
    case SourceFormat::Markers: {
        Collector out(limit);
        std::string_view buffer = text;
        const Marker start(entry.Start), end(entry.End); // set up once for every cut of the page
        while (!out.Full()) {
            const std::size_t before = buffer.size();
            const std::string_view cut = ExtractBetween(buffer, start, end);
            // No start marker left, or no end marker after it: nothing more to take.
            if (buffer.size() == before || (cut.empty() && AsciiLowered(buffer.substr(0, entry.End.size())) !=
                                                               AsciiLowered(entry.End)))
                break;
            if (std::string cleaned = CleanHtml(cut); !cleaned.empty())
                out.Add(std::move(cleaned));
        }
        return {std::move(out.texts), {}};
    }
    case SourceFormat::Json:
        return ReadJson(text, entry.Path, limit, count);
    case SourceFormat::Jsonp: {
        const auto open = text.find('(');
        const auto close = text.rfind(')');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open)
            return {{}, "the answer holds no (...) around its JSON"};
        return ReadJson(text.substr(open + 1, close - open - 1), entry.Path, limit, count);
    }
    case SourceFormat::Xml:
        return ReadXml(text, entry.Path, limit);
    }
    return {};
}

std::string FirstCount(std::string_view text) {
    const auto first = std::find_if(text.begin(), text.end(), IsDigit);
    if (first == text.end())
        return {};
    text.remove_prefix(static_cast<std::size_t>(first - text.begin()));
    std::string digits;
    std::size_t at = 0;
    while (at < text.size() && IsDigit(text[at]))
        digits += text[at++];
    for (;;) {
        const std::size_t separator = SeparatorLength(text.substr(at));
        const std::size_t group = at + separator;
        if (separator == 0 || group + 3 > text.size() || !IsDigit(text[group]) || !IsDigit(text[group + 1]) ||
            !IsDigit(text[group + 2]) || (group + 3 < text.size() && IsDigit(text[group + 3])))
            return digits;
        digits.append(text.substr(group, 3));
        at = group + 3;
    }
}

std::string BlockedTextIn(std::string_view page, const std::vector<std::string>& blocked) {
    if (blocked.empty())
        return {};
    const std::string lowered = AsciiLowered(page);
    for (const std::string& text : blocked)
        if (lowered.find(AsciiLowered(text)) != std::string::npos)
            return text;
    return {};
}

int RetryAfterMs(std::string_view value, long long nowUtcSeconds) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    if (value.empty())
        return MissingRetryAfterMs;
    long long seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (end == value.data() + value.size()) {
        if (error == std::errc::result_out_of_range)
            return MaxRetryAfterMs;
        if (error != std::errc() || seconds < 0)
            return MissingRetryAfterMs;
        return static_cast<int>(std::min<long long>(seconds * 1000, MaxRetryAfterMs));
    }
    // HTTP dates end in "GMT", which Qt's RFC 2822 reading wants as an offset.
    QString text = QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
    if (text.endsWith(QStringLiteral(" GMT")))
        text = text.left(text.size() - 3) + QStringLiteral("+0000");
    const QDateTime when = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!when.isValid())
        return MissingRetryAfterMs;
    const long long left = when.toSecsSinceEpoch() - nowUtcSeconds;
    return static_cast<int>(std::clamp<long long>(left * 1000, 0, MaxRetryAfterMs));
}

} // namespace vorlith
