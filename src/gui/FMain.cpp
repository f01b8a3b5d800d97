#include "gui/FMain.h"

#include "branding/Banner.h"
#include "branding/UpdateCheck.h"
#include "branding/WebPages.h"
#include "commands/WindowCommands.h"
#include "gui/FCaptcha.h"
#include "gui/KeywordListTools.h"
#include "gui/KeywordModel.h"
#include "gui/TableEditing.h"
#include "gui/dialogs/FAddKeywords.h"
#include "gui/dialogs/FHarvestOptions.h"
#include "gui/dialogs/FMainKeyword.h"
#include "gui/dialogs/FSelectSearch.h"
#include "gui/widgets/BarOverflow.h"
#include "gui/widgets/ErrorReporting.h"
#include "gui/widgets/GaugeBar.h"
#include "gui/widgets/LinkLabel.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Skin.h"
#include "harvest/Harvest.h"
#include "platform/QStringBytes.h"
#include "stats/GatherData.h"
#include "workspace/ColumnSorting.h"
#include "workspace/ListEditing.h"
#include "workspace/LiveExport.h"
#include "workspace/LiveImports.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/MainKeyword.h"
#include "workspace/ResultsExport.h"
#include "workspace/RowFilter.h"
#include "workspace/StatusTexts.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QMovie>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace vorlith {

namespace {

// A toolbar or table button: 20 high at top 7, hand cursor, never takes the keyboard focus.
QPushButton* CommandButton(QWidget* parent, const char* name, const char* caption, int left, int width) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 7, width, 20);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QFrame* Strip(QWidget* parent, const char* name, bool framed, int height) {
    auto* strip = new QFrame(parent);
    strip->setObjectName(QString::fromLatin1(name));
    strip->setFrameShape(framed ? QFrame::StyledPanel : QFrame::NoFrame);
    if (height > 0)
        strip->setFixedHeight(height);
    return strip;
}

QLabel* StatusPart(QWidget* parent, const char* name, int width) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    if (width > 0)
        label->setFixedWidth(width);
    return label;
}

} // namespace

TfrmMain::TfrmMain(std::string programFolder, vorlith::Endpoints endpoints, QWidget* parent)
    : TfrmMain(PortableProgramFolders(programFolder), std::move(endpoints), parent) {}

TfrmMain::TfrmMain(ProgramFolders folders, vorlith::Endpoints endpoints, QWidget* parent)
    : QWidget(parent), ws_(*this, std::move(folders), std::move(endpoints)) {
    ws_.Shell = &shell_;
    BuildControls();
    FormCreate();
}

TfrmMain::~TfrmMain() {
    // The shown rows refer to the workspace's table, which goes before the child widgets do.
    lvwItems->setModel(nullptr);
    delete shownRows_;
}

void TfrmMain::BuildControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(ToQString(DefaultTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    resize(914, 597);

    bsSkinPanel1 = Strip(this, "bsSkinPanel1", false, 33);
    btnMainKeyword = CommandButton(bsSkinPanel1, "btnMainKeyword", "Main Keyword", 7, 99);
    btnGatherKeyword = CommandButton(bsSkinPanel1, "btnGatherKeyword", "Gather Keywords", 109, 98);
    btnAddKeyword = CommandButton(bsSkinPanel1, "btnAddKeyword", "Add Keywords", 210, 99);
    btnGatherData = CommandButton(bsSkinPanel1, "btnGatherData", "Gather Data", 312, 98);
    btnSaveResults = CommandButton(bsSkinPanel1, "btnSaveResults", "Save Results", 414, 98);
    btnHelp = CommandButton(bsSkinPanel1, "btnHelp", "Help", 516, 98);
    btnUpdate = CommandButton(bsSkinPanel1, "btnUpdate", "Check Updates", 618, 99);
    btnMakeMoney = CommandButton(bsSkinPanel1, "btnMakeMoney", "Make Money", 721, 98);

    panBanner = Strip(this, "panBanner", true, 65);
    imgBanner = new QLabel(panBanner);
    imgBanner->setObjectName(QStringLiteral("imgBanner"));
    imgBanner->setGeometry(144, -8, 105, 105);
    gifBanner = new QLabel(panBanner);
    gifBanner->setObjectName(QStringLiteral("gifBanner"));
    gifBanner->setGeometry(280, 0, 98, 140);

    bsSkinPanel3 = Strip(this, "bsSkinPanel3", false, 0);
    lvwItems = new QTableView(bsSkinPanel3);
    lvwItems->setObjectName(QStringLiteral("lvwItems"));
    shownRows_ = new KeywordModel(ws_.table, this);
    shownRows_->SetSourceNames(&ws_.RowSources);
    shownRows_->SetCountCaptions({ws_.Sources.Counts[0].Name, ws_.Sources.Counts[1].Name, ws_.Sources.Counts[2].Name});
    lvwItems->setModel(shownRows_);
    lvwItems->setShowGrid(true);
    lvwItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwItems->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwItems->setWordWrap(false);
    lvwItems->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lvwItems->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lvwItems->verticalHeader()->setVisible(false);
    // Fixed row height: the view never measures a million rows.
    lvwItems->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvwItems->verticalHeader()->setDefaultSectionSize(18);
    lvwItems->horizontalHeader()->setHighlightSections(false);
    // At each repaint the header asks whether its columns are wholly selected, which reads every
    // row once all are highlighted (60 ms at a million rows). It highlights nothing, so it gets a
    // selection of its own that stays empty.
    lvwItems->horizontalHeader()->setSelectionModel(new QItemSelectionModel(shownRows_, lvwItems));
    lvwItems->horizontalHeader()->setSectionsClickable(true);
    lvwItems->horizontalHeader()->setStretchLastSection(false);
    lvwItems->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwItems->horizontalHeader(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Guarded("lvwItems header menu", [this, at] { ShowColumnMenu(at); }); });
    for (int c = 0; c < ColumnCount; ++c)
        lvwItems->setColumnWidth(c, Columns[static_cast<std::size_t>(c)].Width);
    lvwItems->verticalScrollBar()->setObjectName(QStringLiteral("bsSkinScrollBar1"));
    lvwItems->horizontalScrollBar()->setObjectName(QStringLiteral("bsSkinScrollBar2"));
    auto* tableLayout = new QVBoxLayout(bsSkinPanel3);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->addWidget(lvwItems);

    bsSkinPanel4 = Strip(this, "bsSkinPanel4", true, 54);
    bsSkinButton1 = CommandButton(bsSkinPanel4, "bsSkinButton1", "Select All", 9, 100);
    bsSkinButton2 = CommandButton(bsSkinPanel4, "bsSkinButton2", "Clear Selection", 112, 100);
    bsSkinButton3 = CommandButton(bsSkinPanel4, "bsSkinButton3", "Delete Selected", 215, 100);
    bsSkinButton4 = CommandButton(bsSkinPanel4, "bsSkinButton4", "Delete All", 319, 99);
    lblLink1URL = new LinkLabel(bsSkinPanel4);
    lblLink1URL->setObjectName(QStringLiteral("lblLink1URL"));
    lblLink1URL->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblLink2URL = new LinkLabel(bsSkinPanel4);
    lblLink2URL->setObjectName(QStringLiteral("lblLink2URL"));
    lblLink2URL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (LinkLabel* link : {lblLink1URL, lblLink2URL}) {
        link->SetCaption("Google");
        link->SetAddress(ws_.Endpoints.GoogleSearchBase);
        link->adjustSize();
        link->setFixedHeight(14);
    }
    lblLink1URL->move(13, 32);
    bsSkinPanel4->installEventFilter(this);
    lblLink2URL->installEventFilter(this);

    bsSkinStatusBar1 = Strip(this, "bsSkinStatusBar1", false, 17);
    MainStatusPanel = StatusPart(bsSkinStatusBar1, "MainStatusPanel", 0);
    bsSkinStatusPanel1 = StatusPart(bsSkinStatusBar1, "bsSkinStatusPanel1", 160);
    SecondStatusPanel = StatusPart(bsSkinStatusBar1, "SecondStatusPanel", 0);
    // 82 wide as built; a count of many digits widens it rather than being cut.
    SecondStatusPanel->setMinimumWidth(82);
    SecondStatusPanel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    MainGauge = new GaugeBar(bsSkinStatusBar1);
    MainGauge->setObjectName(QStringLiteral("MainGauge"));
    MainGauge->setFixedWidth(130);
    MainStatusPanel->setMinimumWidth(0);
    // A long "Getting URL: " text must not widen the window; the panel cuts it instead.
    MainStatusPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bsSkinStatusPanel1->setText(ToQString(ws_.MainKeywordStatusText()));
    SecondStatusPanel->setText(ToQString(ws_.SecondStatusText()));
    auto* statusLayout = new QHBoxLayout(bsSkinStatusBar1);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(0);
    statusLayout->addWidget(MainStatusPanel, 1);
    statusLayout->addWidget(bsSkinStatusPanel1);
    statusLayout->addWidget(SecondStatusPanel);
    statusLayout->addWidget(MainGauge);
    RunStatusPanel = StatusPart(bsSkinStatusBar1, "RunStatusPanel", 0);
    RunStatusPanel->setContentsMargins(6, 0, 4, 0);
    // Takes no room until a run has something to say, so the described panels keep their widths.
    RunStatusPanel->hide();
    statusLayout->addWidget(RunStatusPanel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bsSkinPanel1);
    layout->addWidget(panBanner);
    layout->addWidget(bsSkinPanel3, 1);
    layout->addWidget(bsSkinPanel4);
    layout->addWidget(bsSkinStatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);

    connect(btnMainKeyword, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnMainKeywordClick", [this] { btnMainKeywordClick(); }); });
    connect(btnGatherKeyword, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnGatherKeywordClick", [this] { btnGatherKeywordClick(); }); });
    connect(btnAddKeyword, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnAddKeywordClick", [this] { btnAddKeywordClick(); }); });
    connect(btnGatherData, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnGatherDataClick", [this] { btnGatherDataClick(); }); });
    connect(btnSaveResults, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnSaveResultsClick", [this] { btnSaveResultsClick(); }); });
    connect(btnHelp, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnHelpClick", [this] { btnHelpClick(); }); });
    connect(btnUpdate, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnUpdateClick", [this] { btnUpdateClick(); }); });
    connect(btnMakeMoney, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain btnMakeMoneyClick", [this] { btnMakeMoneyClick(); }); });
    connect(bsSkinButton1, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain bsSkinButton1Click", [this] { bsSkinButton1Click(); }); });
    connect(bsSkinButton2, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain bsSkinButton2Click", [this] { bsSkinButton2Click(); }); });
    connect(bsSkinButton3, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain bsSkinButton3Click", [this] { bsSkinButton3Click(); }); });
    connect(bsSkinButton4, &QPushButton::clicked, this,
            [this] { Guarded("TfrmMain bsSkinButton4Click", [this] { bsSkinButton4Click(); }); });
    connect(lvwItems->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        Guarded("TfrmMain lvwItemsColumnClick", [this, column] { lvwItemsColumnClick(column); });
    });
    connect(Timer1, &QTimer::timeout, this,
            [this] { Guarded("TfrmMain Timer1Timer", [this] { Timer1Timer(); }); });

    connect(lblLink1URL, &LinkLabel::Clicked, this,
            [this] { Guarded("lblLink1URL", [this] { OpenLink(ws_, lblLink1URL->Address()); }); });
    connect(lblLink2URL, &LinkLabel::Clicked, this,
            [this] { Guarded("lblLink2URL", [this] { OpenLink(ws_, lblLink2URL->Address()); }); });
    imgBanner->installEventFilter(this);
    panBanner->installEventFilter(this);
    gifBanner->installEventFilter(this);

    tools_ = new KeywordListTools(*this, ws_, *lvwItems, *shownRows_, *bsSkinPanel4);
    editing_ = new TableEditing(*this, ws_, *tools_->ContextMenu());
    for (auto [button, keys] : {std::pair{btnMainKeyword, "Ctrl+K"},
                                {btnGatherKeyword, "Ctrl+G; Harvest Options…: Ctrl+Shift+G"},
                                {btnAddKeyword, "Ctrl+O"},
                                {btnGatherData, "F5; Esc stops"},
                                {btnSaveResults, "Ctrl+S"},
                                {btnHelp, "F1"},
                                {bsSkinButton1, "Ctrl+A"},
                                {bsSkinButton2, "Ctrl+Shift+A"},
                                {bsSkinButton3, "Del"}})
        button->setToolTip(button->text() + QStringLiteral(" (") + QLatin1String(keys) + QLatin1Char(')'));
    // The item count follows what the filter shows.
    connect(shownRows_, &QAbstractItemModel::modelReset, this, &TfrmMain::ShowItemCount);
    connect(shownRows_, &QAbstractItemModel::rowsInserted, this, &TfrmMain::ShowItemCount);
    // The view shows the filtered rows: the No column is fitted to what it shows.
    connect(shownRows_, &QAbstractItemModel::rowsInserted, this, &TfrmMain::FitNumberColumn);
    connect(shownRows_, &QAbstractItemModel::modelReset, this, &TfrmMain::FitNumberColumn);
    connect(shownRows_, &QAbstractItemModel::rowsRemoved, this, &TfrmMain::ShowItemCount);
    // Every command stays reachable in a narrow window (half a small screen): what no longer fits
    // goes into each bar's "More" menu. At the first size nothing moves. The bar under the table
    // moves only the buttons added to it; the filter box gives up width first.
    auto* toolbar = new BarOverflow(*bsSkinPanel1, {btnGatherKeyword, btnAddKeyword, btnGatherData, btnSaveResults,
                                                    btnHelp, btnUpdate, btnMakeMoney});
    bsSkinPanel1->setMinimumWidth(toolbar->MinimumWidth());
    std::vector<QAbstractButton*> added;
    for (const char* name : {"btnRemoveDuplicates", "btnRetryFailed", "btnSaveShown"})
        if (auto* button = bsSkinPanel4->findChild<QPushButton*>(QLatin1String(name)))
            added.push_back(button);
    auto* listBar = new BarOverflow(*bsSkinPanel4, std::move(added),
                                    bsSkinPanel4->findChild<QLineEdit*>(QStringLiteral("edtFilter")), 100);
    bsSkinPanel4->setMinimumWidth(listBar->MinimumWidth());
    lvwItems->setMinimumHeight(4 * lvwItems->verticalHeader()->defaultSectionSize());

    CenterOnScreen(*this);
}

void TfrmMain::FitNumberColumn() {
    // Numbers never exceed the largest row count, so the last row's number is the widest one
    // to fit; the column only grows, from its built width.
    const int rows = shownRows_->rowCount();
    if (rows == 0)
        return;
    const int needed =
        lvwItems->sizeHintForIndex(shownRows_->index(rows - 1, 0)).width() + (lvwItems->showGrid() ? 1 : 0);
    if (needed > lvwItems->columnWidth(0))
        lvwItems->setColumnWidth(0, needed);
}

void TfrmMain::FormCreate() {
    gifBanner->setGeometry(imgBanner->geometry());
    try {
        vorlith::StartUp(ws_, &laterBanner_);
    } catch (...) {
        // The window still opens; the steps after the failing one stay undone.
        if (auto* app = VorlithApplication::Instance())
            app->Reporter().ReportCurrentException(ToQString(CreationWhere));
        else
            throw;
    }
}

void TfrmMain::PlaceLink2() {
    lblLink2URL->adjustSize();
    lblLink2URL->setFixedHeight(14);
    lblLink2URL->move(bsSkinPanel4->width() - 18 - lblLink2URL->width(), 32);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // The second link keeps its right edge 18 pixels from the bar's right edge.
    if ((watched == bsSkinPanel4 && event->type() == QEvent::Resize) ||
        (watched == lblLink2URL && event->type() == QEvent::FontChange))
        PlaceLink2();
    // A banner that arrives after the window is shown changes the strip's height.
    if (watched == panBanner && event->type() == QEvent::Resize)
        CenterBanner();
    if ((watched == imgBanner || watched == gifBanner) && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* banner = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && banner->rect().contains(mouse->position().toPoint())) {
            if (watched == imgBanner)
                imgBannerClick();
            else
                gifBannerClick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!closeAgreed_) {
        if (!vorlith::MayClose(ws_)) {
            event->ignore();
            return;
        }
        closeAgreed_ = true;
        // Nothing new starts once the close is agreed: not the start-up check either.
        Timer1->stop();
    }
    if (ws_.Work.Busy()) {
        // An export stops within a row of its cancel; the window and the workspace go after it.
        ws_.Work.Cancel();
        event->ignore();
        QTimer::singleShot(30, this, &QWidget::close);
        return;
    }
    if (!vorlith::StopForClosing(ws_)) {
        // The stopped runs end within a turn or two of the event loop; the window and the
        // workspace they use go only after them.
        event->ignore();
        if (!closeQueued_) {
            closeQueued_ = true;
            ws_.Runs.WhenIdle(
                [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
        }
        return;
    }
    laterBanner_.Drop();
    QWidget::closeEvent(event);
}

void TfrmMain::ReportError(std::exception_ptr error, std::string_view where) {
    if (auto* app = VorlithApplication::Instance())
        app->Reporter().Report(ErrorReporter::Describe(error, ToQString(where)));
}

// Handlers: one-line forwards into the core.
void TfrmMain::btnMainKeywordClick() {
    vorlith::EnterMainKeyword(ws_);
}
void TfrmMain::btnGatherKeywordClick() {
    ws_.Runs.Adopt(vorlith::GatherKeywords(ws_));
}
void TfrmMain::HarvestOptionsClick() {
    TfrmHarvestOptions dialog(ws_.Sources, ws_.Harvest, this);
    if (dialog.exec() == QDialog::Accepted)
        ws_.Harvest = dialog.Chosen();
}
void TfrmMain::ShowColumnMenu(const QPoint& at) {
    QMenu menu(this);
    for (int column = static_cast<int>(Column::Searches); column <= ColumnCount; ++column) {
        const bool source = column == ColumnCount;
        QAction* action = menu.addAction(source ? QStringLiteral("Source")
                                                : shownRows_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        action->setCheckable(true);
        action->setChecked(source ? shownRows_->SourceColumnShown() : !lvwItems->isColumnHidden(column));
        connect(action, &QAction::toggled, this, [this, column, source](bool on) {
            if (!source) {
                lvwItems->setColumnHidden(column, !on);
                return;
            }
            shownRows_->SetSourceColumnShown(on);
            ws_.SourceColumnShown = on;
            if (on)
                lvwItems->setColumnWidth(ColumnCount, 180);
        });
    }
    menu.exec(lvwItems->horizontalHeader()->mapToGlobal(at));
}
void TfrmMain::btnAddKeywordClick() {
    ws_.Runs.Adopt(vorlith::AddKeywordsLive(ws_));
}
void TfrmMain::btnGatherDataClick() {
    vorlith::GatherDataOrStop(ws_);
}
void TfrmMain::btnSaveResultsClick() {
    ws_.Runs.Adopt(vorlith::SaveResultsLive(ws_));
}
void TfrmMain::btnHelpClick() {
    vorlith::OpenHelp(ws_);
}
void TfrmMain::btnUpdateClick() {
    vorlith::CheckForUpdatesNow(ws_);
}
void TfrmMain::btnMakeMoneyClick() {
    vorlith::OpenMakeMoney(ws_);
}
void TfrmMain::bsSkinButton1Click() {
    vorlith::SelectAll(ws_);
}
void TfrmMain::bsSkinButton2Click() {
    vorlith::ClearSelection(ws_);
}
void TfrmMain::bsSkinButton3Click() {
    vorlith::DeleteSelected(ws_);
}
void TfrmMain::bsSkinButton4Click() {
    vorlith::DeleteAll(ws_);
}
namespace {
// The arrow shows the core's sort state, whatever the header flipped on its own.
void ShowSortArrow(const vorlith::Workspace& ws, QHeaderView* header) {
    header->setSortIndicatorShown(true);
    header->setSortIndicator(ws.SortColumn, ws.SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}
QCoro::Task<void> SortThenShowArrow(vorlith::Workspace& ws, QPointer<QHeaderView> header, int column) {
    co_await vorlith::SortByColumnLive(ws, column);
    if (header)
        ShowSortArrow(ws, header);
}
} // namespace
void TfrmMain::lvwItemsColumnClick(int column) {
    QHeaderView* header = lvwItems->horizontalHeader();
    // Until a long sort has ended, the arrow stays where the rows' order is.
    if (header->isSortIndicatorShown())
        ShowSortArrow(ws_, header);
    ws_.Runs.Adopt(SortThenShowArrow(ws_, header, column));
}

void TfrmMain::SetFilter(const std::string& text) {
    ws_.Filter = text;
    shownRows_->SetFilter(text);
    ShowItemCount();
}

void TfrmMain::ShowItemCount() {
    SecondStatusPanel->setText(
        shownRows_->Filtered() ? ToQString(FilterCountText(shownRows_->ShownCount(), ws_.table.RowCount()))
                               : ToQString(ws_.SecondStatusText()));
}

void TfrmMain::Timer1Timer() {
    Timer1->stop();
    vorlith::StartupUpdateCheck(ws_);
}

void TfrmMain::imgBannerClick() {
    OpenBannerPage(ws_);
}
void TfrmMain::gifBannerClick() {
    OpenBannerPage(ws_);
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The Keywords column takes what the window gains beyond its width, and gives it back, never
    // below its built width; at the first size nothing moves.
    if (event->oldSize().isValid()) {
        const int keywords = static_cast<int>(Column::Keywords);
        const int grown = event->size().width() - event->oldSize().width();
        lvwItems->setColumnWidth(keywords, std::max(Columns[static_cast<std::size_t>(keywords)].Width,
                                                    lvwItems->columnWidth(keywords) + grown));
    }
    FormResize();
}

void TfrmMain::FormShow() {
    CenterBanner();
}
void TfrmMain::FormResize() {
    CenterBanner();
}

void TfrmMain::CenterBanner() {
    // Without a loaded banner the strip is empty or hidden and the controls keep their built place.
    if (!bannerShown_)
        return;
    // Both controls are placed, visible or not.
    for (QWidget* banner : {static_cast<QWidget*>(imgBanner), static_cast<QWidget*>(gifBanner)})
        banner->move(CentredOffset(panBanner->width(), banner->width()),
                     CentredOffset(panBanner->height(), banner->height()));
}

int TfrmMain::ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) {
    return MessageBox::Show(kind, text, buttons, this);
}

std::optional<std::string> TfrmMain::AskMainKeyword() {
    TfrmMainKeyword dialog(*this, this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Keyword();
}

std::optional<AddKeywordsAnswer> TfrmMain::AskAddKeywords() {
    TfrmAddKeywords dialog(*this, ToQString(ws_.DialogFolder), this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return AddKeywordsAnswer{dialog.Keyword(), dialog.ListFile(), dialog.Options()};
}

std::optional<bool> TfrmMain::AskSearchType() {
    TfrmSelSearch dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.PreciseSelected();
}

ChallengeAnswer TfrmMain::AskChallenge(const ChallengePrompt& prompt) {
    TfrmCaptcha frmCaptcha(prompt, this);
    const int result = frmCaptcha.exec();
    return {result == mrOk ? mrOk : mrCancel, frmCaptcha.Password()};
}

std::optional<std::string> TfrmMain::AskSaveFile(std::string_view folder, std::string_view fileName) {
    QFileDialog dialog(this, ToQString(SaveDialogTitle), ToQString(folder));
    dialog.setObjectName(QStringLiteral("bsSkinSaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(ToQString(SaveDialogFilter));
    // Our own dialog, drawn with the skin; replacing an existing file asks nothing.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    if (!fileName.empty())
        dialog.selectFile(ToQString(fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ToBytes(dialog.selectedFiles().constFirst());
}

std::optional<std::string> TfrmMain::AskFile(bool save, std::string_view title, std::string_view filter,
                                             std::string_view folder) {
    QFileDialog dialog(this, ToQString(title), ToQString(folder));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(ToQString(filter));
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ToBytes(dialog.selectedFiles().constFirst());
}

void TfrmMain::ShowStatus(StatusPanel panel, std::string_view text) {
    if (panel == StatusPanel::Run) {
        RunStatusPanel->setText(ToQString(text));
        RunStatusPanel->setVisible(!text.empty());
        return;
    }
    if (panel == StatusPanel::Second && shownRows_->Filtered())
        return ShowItemCount();
    QLabel* target = panel == StatusPanel::Main          ? MainStatusPanel
                     : panel == StatusPanel::MainKeyword ? bsSkinStatusPanel1
                                                         : SecondStatusPanel;
    const QString shown = ToQString(text);
    if (target == bsSkinStatusPanel1) {
        // A long main keyword is cut with an ellipsis; the whole text is in the tooltip.
        const int room = bsSkinStatusPanel1->contentsRect().width();
        const QString fitted = bsSkinStatusPanel1->fontMetrics().elidedText(shown, Qt::ElideRight, room);
        bsSkinStatusPanel1->setText(fitted);
        bsSkinStatusPanel1->setToolTip(fitted == shown ? QString() : shown);
        return;
    }
    // The progress panel cuts a long address; the tooltip keeps it whole.
    if (target == MainStatusPanel)
        MainStatusPanel->setToolTip(shown);
    target->setText(shown);
}

void TfrmMain::ShowStatusCause(StatusPanel panel, std::string_view cause) {
    // The status text stays as it is; the host and the cause go under it in the tooltip.
    if (panel == StatusPanel::Main && !cause.empty())
        MainStatusPanel->setToolTip(MainStatusPanel->text() + QStringLiteral("\n") + ToQString(cause));
}

void TfrmMain::ShowGauge(const Gauge& gauge) {
    MainGauge->Show(gauge);
}
void TfrmMain::SetTitle(std::string_view title) {
    setWindowTitle(ToQString(title));
}
void TfrmMain::SetGatherDataCaption(std::string_view caption) {
    btnGatherData->setText(ToQString(caption));
}
void TfrmMain::SetHeaderClicksEnabled(bool enabled) {
    lvwItems->horizontalHeader()->setSectionsClickable(enabled);
}
void TfrmMain::ArmStartupTimer() {
    Timer1->start();
}
void TfrmMain::SetBannerHandCursor() {
    imgBanner->setCursor(Qt::PointingHandCursor);
    gifBanner->setCursor(Qt::PointingHandCursor);
}

void TfrmMain::HideBannerStrip() {
    panBanner->hide();
}

void TfrmMain::ShowBannerAnimation(const QByteArray& gif, int width, int height) {
    delete bannerMovie_;
    auto* buffer = new QBuffer;
    buffer->setData(gif);
    buffer->open(QIODevice::ReadOnly);
    bannerMovie_ = new QMovie(buffer, "gif", gifBanner);
    buffer->setParent(bannerMovie_);
    // Plays on and on, also a GIF that asks to be played once.
    connect(bannerMovie_, &QMovie::finished, bannerMovie_, &QMovie::start);
    gifBanner->setMovie(bannerMovie_);
    gifBanner->resize(width, height);
    gifBanner->setVisible(true);
    imgBanner->setVisible(false);
    bannerMovie_->start();
    bannerShown_ = true;
}

void TfrmMain::ShowBannerPicture(const QImage& picture) {
    imgBanner->setPixmap(QPixmap::fromImage(picture));
    imgBanner->resize(picture.size());
    imgBanner->setVisible(true);
    gifBanner->setVisible(false);
    bannerShown_ = true;
}

void TfrmMain::SetBannerStripHeight(int height) {
    panBanner->setFixedHeight(height);
}

void TfrmMain::SetLinkLabel(int label, std::string_view caption, std::string_view address) {
    LinkLabel* link = label == 1 ? lblLink1URL : lblLink2URL;
    link->SetCaption(std::string(caption));
    link->SetAddress(std::string(address));
    link->adjustSize();
    link->setFixedHeight(14);
    if (link == lblLink2URL)
        PlaceLink2();
}

void TfrmMain::ApplySkinStyleSheet(std::string_view styleSheet) {
    ApplySkin(QString::fromUtf8(styleSheet.data(), static_cast<qsizetype>(styleSheet.size())));
}

void TfrmMain::SetApplicationIcon(const std::string& iconFile) {
    const QIcon icon(ToQString(iconFile));
    QApplication::setWindowIcon(icon);
    setWindowIcon(icon);
}

void TfrmMain::CloseMainWindow() {
    close();
}

} // namespace vorlith
