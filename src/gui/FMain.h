#pragma once
// TfrmMain: the main window. Builds the controls, shows what the core tells it and forwards every
// click to the core; it decides nothing.

#include "branding/Banner.h"
#include "platform/Shell.h"
#include "workspace/Workspace.h"
#include "workspace/WorkspaceUi.h"

#include <QWidget>
#include <functional>
#include <string>

class QFrame;
class QLabel;
class QMovie;
class QPushButton;
class QTableView;
class QTimer;

namespace vorlith {

class GaugeBar;
class KeywordListTools;
class KeywordModel;
class LinkLabel;
class TableEditing;

class TfrmMain : public QWidget, public WorkspaceUi {
    Q_OBJECT
public:
    explicit TfrmMain(std::string programFolder, vorlith::Endpoints endpoints = {},
                      QWidget* parent = nullptr);
    // An installed or portable copy's folders (platform/ProgramFolder.h).
    explicit TfrmMain(ProgramFolders folders, vorlith::Endpoints endpoints = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    Workspace& Ws() { return ws_; }
    KeywordListTools& Tools() { return *tools_; }
    // The filter box's text: the table shows only the rows whose keyword holds it.
    void SetFilter(const std::string& text);

    // Handlers
    void btnMainKeywordClick();
    void btnGatherKeywordClick();
    // "Harvest Options…" (Ctrl+Shift+G): the sources, expansion and depth of Gather Keywords.
    void HarvestOptionsClick();
    // The header's menu: shows or hides any column but No and Keywords.
    void ShowColumnMenu(const QPoint& at);
    void btnAddKeywordClick();
    void btnGatherDataClick();
    void btnSaveResultsClick();
    void btnHelpClick();
    void btnUpdateClick();
    void btnMakeMoneyClick();
    void bsSkinButton1Click();
    void bsSkinButton2Click();
    void bsSkinButton3Click();
    void bsSkinButton4Click();
    void lvwItemsColumnClick(int column);
    void Timer1Timer();
    void FormShow();
    void FormResize();
    void imgBannerClick();
    void gifBannerClick();

    // WorkspaceUi
    int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) override;
    std::optional<std::string> AskMainKeyword() override;
    std::optional<AddKeywordsAnswer> AskAddKeywords() override;
    std::optional<bool> AskSearchType() override;
    ChallengeAnswer AskChallenge(const ChallengePrompt& prompt) override;
    std::optional<std::string> AskSaveFile(std::string_view folder, std::string_view fileName) override;
    std::optional<std::string> AskFile(bool save, std::string_view title, std::string_view filter,
                                       std::string_view folder) override;
    TableEditing& Editing() { return *editing_; }
    void ShowStatus(StatusPanel panel, std::string_view text) override;
    void ShowStatusCause(StatusPanel panel, std::string_view cause) override;
    void ShowGauge(const Gauge& gauge) override;
    void SetTitle(std::string_view title) override;
    void SetGatherDataCaption(std::string_view caption) override;
    void SetHeaderClicksEnabled(bool enabled) override;
    void ArmStartupTimer() override;
    void ReportError(std::exception_ptr error, std::string_view where) override;
    void SetBannerHandCursor() override;
    void HideBannerStrip() override;
    void ShowBannerAnimation(const QByteArray& gif, int width, int height) override;
    void ShowBannerPicture(const QImage& picture) override;
    void SetBannerStripHeight(int height) override;
    void SetLinkLabel(int label, std::string_view caption, std::string_view address) override;
    void ApplySkinStyleSheet(std::string_view styleSheet) override;
    void SetApplicationIcon(const std::string& iconFile) override;
    void CloseMainWindow() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Toolbar
    QFrame* bsSkinPanel1;
    QPushButton* btnMainKeyword;
    QPushButton* btnGatherKeyword;
    QPushButton* btnAddKeyword;
    QPushButton* btnGatherData;
    QPushButton* btnSaveResults;
    QPushButton* btnHelp;
    QPushButton* btnUpdate;
    QPushButton* btnMakeMoney;
    // Banner strip
    QFrame* panBanner;
    QLabel* imgBanner;
    QLabel* gifBanner;
    // Table area
    QFrame* bsSkinPanel3;
    QTableView* lvwItems;
    // Selection and links bar
    QFrame* bsSkinPanel4;
    QPushButton* bsSkinButton1;
    QPushButton* bsSkinButton2;
    QPushButton* bsSkinButton3;
    QPushButton* bsSkinButton4;
    LinkLabel* lblLink1URL;
    LinkLabel* lblLink2URL;
    // Status bar
    QFrame* bsSkinStatusBar1;
    QLabel* MainStatusPanel;
    QLabel* bsSkinStatusPanel1;
    QLabel* SecondStatusPanel;
    GaugeBar* MainGauge;
    QLabel* RunStatusPanel; // a Gather Data run's progress and outcome
    QTimer* Timer1;
    void BuildControls();
    void FormCreate();
    void PlaceLink2();
    void FitNumberColumn();

    void CenterBanner();
    void ShowItemCount();

    Workspace ws_;
    // A metafile banner on its way; goes before the workspace it shows in.
    LaterBanner laterBanner_;
    SystemShell shell_;
    KeywordModel* shownRows_;
    KeywordListTools* tools_;
    TableEditing* editing_;
    QMovie* bannerMovie_ = nullptr;
    bool bannerShown_ = false;
    bool closeAgreed_ = false;
    bool closeQueued_ = false;
};

} // namespace vorlith
