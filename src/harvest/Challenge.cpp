#include "harvest/Challenge.h"

#include "text/UUtils.h"

namespace vorlith {

namespace {
constexpr std::string_view RandomMarker = "<input type=\"hidden\" name=\"random\" value=\"";
constexpr std::string_view SeedMarker = "<input type=\"hidden\" name=\"seed\" value=\"";
constexpr std::string_view SourceMarker = "src=\"";
constexpr std::string_view Quote = "\"";
} // namespace

std::string ReplaceOnce(std::string_view text, std::string_view pattern, std::string_view replacement) {
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(pattern); at != std::string_view::npos; at = text.find(pattern, from)) {
        result.append(text.substr(from, at - from));
        result.append(replacement);
        from = at + pattern.size();
    }
    result.append(text.substr(from));
    return result;
}

ChallengeFields ParseChallenge(std::string_view ChallengePage) {
    std::string_view copy = ChallengePage;
    ChallengeFields fields;
    fields.ChallengeRandom = ExtractBetween(copy, RandomMarker, Quote);
    fields.ChallengeSeed = ExtractBetween(copy, SeedMarker, Quote);
    fields.ChallengeImageURL = ReplaceOnce(ExtractBetween(copy, SourceMarker, Quote), "&amp;", "&");
    return fields;
}

std::string AnswerAddress(std::string_view base, std::string_view password, std::string_view random,
                          std::string_view seed) {
    std::string address;
    address.reserve(base.size() + AnswerPath.size() + password.size() + random.size() + seed.size() + 14);
    address.append(base).append(AnswerPath).append(password);
    address.append("&random=").append(random).append("&seed=").append(seed);
    return address;
}

} // namespace vorlith
