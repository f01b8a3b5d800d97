#pragma once
// The security-image challenge of the suggestion service: reading the challenge page, and the
// loop that shows the image, sends the answer and asks again after a wrong one.

#include <qcoro/qcorotask.h>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

// The sentence that marks a challenge page; tested exactly, letter case included.
inline constexpr std::string_view ChallengeSentence = "Please enter the characters in the image";
inline constexpr std::string_view WrongPasswordQuestion = "Wrong password. Do you want try again?";
inline constexpr std::string_view EmptyPasswordMessage = "Please enter a password.";
inline constexpr std::string_view AnswerPath = "/keyword-suggestion-tool.html?password=";

// What the challenge window cuts out of the page, as it stands between the quotes.
struct ChallengeFields {
    std::string ChallengeRandom;
    std::string ChallengeSeed;
    std::string ChallengeImageURL;
};

// The three cuts in order on one working copy of the page, then every "&amp;" of the image
// address turned into "&" in one pass from left to right.
ChallengeFields ParseChallenge(std::string_view ChallengePage);

// Replaces each occurrence of pattern in one pass from left to right; replaced text is never
// searched again. pattern must not be empty.
std::string ReplaceOnce(std::string_view text, std::string_view pattern, std::string_view replacement);

inline bool HasChallenge(std::string_view page) {
    return page.find(ChallengeSentence) != std::string_view::npos;
}

// The answer request: nothing in it is encoded.
std::string AnswerAddress(std::string_view base, std::string_view password, std::string_view random,
                          std::string_view seed);

// The security image window's Ok: an empty answer is refused with a message.
bool AcceptChallengeAnswer(Workspace& ws, std::string_view password);

// Shows the challenge until the service answers with a page without it (true, with that page,
// possibly empty after a failed request, in page) or the user gives up after a wrong answer
// (false, page left as the last reply).
// The page must outlive the task.
QCoro::Task<bool> AnswerChallenge(Workspace& ws, std::string& page);

} // namespace vorlith
