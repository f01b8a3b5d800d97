#pragma once
// The ports through which the core reaches the window. The program implements them with widgets
// (TfrmMain), the terminal front end with standard streams, the tests with a scripted fake. Each
// method does nothing (or answers Cancel) unless a front end has something to show or ask, so a
// front end implements only what it shows.

#include <QByteArray>
#include <QImage>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorlith {

class Gauge;

// Answers of the message box msgMain and of every modal dialog.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

enum class MessageKind { Information, Warning };
// YesNoCancel is only for our own questions; the long-standing messages use the first two.
enum class MessageButtons { Ok, OkCancel, YesNoCancel };

// msgMain: returns mrOk for "OK" and mrCancel for "Cancel" or any other way of closing.
class MessagePort {
public:
    virtual int ShowMessage(MessageKind, std::string_view, MessageButtons) { return mrCancel; }

protected:
    ~MessagePort() = default;
};

// The add keywords dialog's import options; all off keeps every line as it stands.
struct ImportOptions {
    bool Trim = false;         // strip bytes of code 32 or less from both ends
    bool SkipBlank = false;    // no row for a line that is empty (after trimming, when trimming)
    bool SkipExisting = false; // no row for a keyword equal to one already in the table
};

// What the add keywords dialog hands back on OK: at most one of the two is non-empty.
struct AddKeywordsAnswer {
    std::string Keyword;  // edtAddKeyword
    std::string ListFile; // edtList
    ImportOptions Options = {};
};

// What the security image window shows, and the rule its Ok applies to the typed answer.
struct ChallengePrompt {
    std::string ImageAddress;
    // Called with the typed text when Ok is pressed. False: the answer is refused (the core has
    // told the user why) and the window stays open.
    std::function<bool(std::string_view password)> AcceptAnswer;
};

// What the security image window hands back when it closes, whichever way it closed.
struct ChallengeAnswer {
    int ModalResult = mrCancel;
    std::string Password; // edtPassword
};

// The modal dialogs. An empty optional means the dialog closed with anything but OK.
class DialogPort {
public:
    virtual std::optional<std::string> AskMainKeyword() { return std::nullopt; }
    virtual std::optional<AddKeywordsAnswer> AskAddKeywords() { return std::nullopt; }
    // true when the precise choice was selected.
    virtual std::optional<bool> AskSearchType() { return std::nullopt; }
    // TfrmCaptcha: shows the challenge's image and waits for the user's answer.
    virtual ChallengeAnswer AskChallenge(const ChallengePrompt&) { return {}; }
    // The save dialog ("Save file", "CSV files (*.csv)"), opened in folder with fileName in its
    // name field; OK gives the folder joined with the typed name. No overwrite question.
    virtual std::optional<std::string> AskSaveFile(std::string_view /*folder*/,
                                                   std::string_view /*fileName*/) {
        return std::nullopt;
    }
    // An open or save dialog of our own (Open Results, Export XLSX): its title, its filter,
    // opened in folder.
    virtual std::optional<std::string> AskFile(bool /*save*/, std::string_view /*title*/,
                                               std::string_view /*filter*/, std::string_view /*folder*/) {
        return std::nullopt;
    }

protected:
    ~DialogPort() = default;
};

// Run: the panel at the right end of the status bar with a Gather Data run's progress and outcome.
enum class StatusPanel { Main, MainKeyword, Second, Run };

// The status bar, the caption of btnGatherData, the table's header clicks, the title, the
// start-up timer, and the error window for what escaped a run.
class WindowPort {
public:
    virtual void ShowStatus(StatusPanel, std::string_view) {}
    // Beside a failure's status text: the host and the cause ("a.example: timed out"); empty clears it.
    virtual void ShowStatusCause(StatusPanel, std::string_view) {}
    virtual void ShowGauge(const Gauge&) {}
    virtual void SetTitle(std::string_view) {}
    virtual void SetGatherDataCaption(std::string_view) {}
    virtual void SetHeaderClicksEnabled(bool) {}
    virtual void ArmStartupTimer() {}
    // A programming error escaped a run's coroutine, or a command; where names the command.
    virtual void ReportError(std::exception_ptr, std::string_view /*where*/) {}

protected:
    ~WindowPort() = default;
};

// The branded parts of the window: banner strip, link labels, skin, icon, and closing it.
class BrandingPort {
public:
    // Both banner controls (imgBanner, gifBanner) get the hand-point cursor.
    virtual void SetBannerHandCursor() {}
    // Hides the banner strip panBanner.
    virtual void HideBannerStrip() {}
    // gifBanner plays the GIF (its whole file) continuously at its logical screen size and
    // becomes visible; imgBanner becomes invisible.
    virtual void ShowBannerAnimation(const QByteArray& /*gif*/, int /*width*/, int /*height*/) {}
    // imgBanner shows the picture at its own size and becomes visible; gifBanner invisible.
    virtual void ShowBannerPicture(const QImage& /*picture*/) {}
    virtual void SetBannerStripHeight(int /*height*/) {}
    // label 1 is lblLink1URL, 2 is lblLink2URL.
    virtual void SetLinkLabel(int /*label*/, std::string_view /*caption*/, std::string_view /*address*/) {}
    // A style sheet that replaces the current skin.
    virtual void ApplySkinStyleSheet(std::string_view /*styleSheet*/) {}
    // An icon file (already checked) becomes the application's icon.
    virtual void SetApplicationIcon(const std::string& /*iconFile*/) {}
    // Closes the main window, which ends the program.
    virtual void CloseMainWindow() {}

protected:
    ~BrandingPort() = default;
};

class WorkspaceUi : public MessagePort, public DialogPort, public WindowPort, public BrandingPort {
public:
    virtual ~WorkspaceUi() = default;
};

} // namespace vorlith
