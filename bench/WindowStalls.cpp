// How long each table command holds the window's event loop at a million rows: the real window,
// offscreen, a probe timer firing every 2 ms, and the largest gap between its firings from the
// command's start until its work (on the loop or a worker) has ended. Message boxes are answered
// with their first button as soon as they show; the file dialogs and Add Keywords are answered
// with the files written for the steps. Prints one line per command; an Esc step also prints how
// long the table took to be free again.
//   bench_WindowStalls [--rows=N]
#include "StandinServer.h"
#include "gui/FMain.h"
#include "gui/TableEditing.h"
#include "workspace/KeywordTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

// Keywords with case-folded repeats (one row in eight) and counts in random order.
std::vector<vorlith::Cells> Load(int rows) {
    std::vector<vorlith::Cells> cells(static_cast<std::size_t>(rows));
    std::uint64_t state = 88172645463325252ull;
    for (int r = 0; r < rows; ++r) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const int word = r % 8 == 7 ? r / 2 : r;
        std::string keyword = "keyword " + std::to_string(state % 1000) + " term " + std::to_string(word);
        if (r % 8 == 7)
            keyword[0] = 'K';
        cells[static_cast<std::size_t>(r)] = {keyword, std::to_string(state % 100000), std::to_string(state % 977),
                                             "", std::to_string(state % 13)};
    }
    return cells;
}

// The file the next dialog is answered with, and whether Add Keywords skips the existing keywords.
std::string answerFile;
bool skipExisting = false;

// Fills in a file dialog or Add Keywords; false for any other dialog.
bool AnswerFileDialog(QWidget* modal) {
    if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        files->selectFile(QString::fromStdString(answerFile));
        QMetaObject::invokeMethod(files, "accept");
        return true;
    }
    if (auto* list = modal->findChild<QLineEdit*>(QStringLiteral("edtList"))) {
        list->setText(QString::fromStdString(answerFile));
        if (auto* skip = modal->findChild<QCheckBox*>(QStringLiteral("chkSkipExisting")))
            skip->setChecked(skipExisting);
    }
    return false;
}

// Runs command from the loop and returns the loop's largest stall in ms until done() holds.
double LargestStall(const std::function<void()>& command, const std::function<bool()>& done) {
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 last = 0, largest = 0;
    bool started = false, returned = false;
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        largest = std::max(largest, now - last);
        last = now;
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (AnswerFileDialog(box))
                return;
            if (auto* ok = box->findChild<QPushButton*>(QStringLiteral("btnOk")))
                ok->click();
            return;
        }
        if (started && returned && done())
            loop.quit();
    });
    QTimer::singleShot(0, [&] {
        started = true;
        command();
        returned = true;
    });
    clock.start();
    probe.start();
    loop.exec();
    return static_cast<double>(largest);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rows = 1'000'000;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--rows=", 7) == 0)
            rows = std::max(1, std::atoi(argv[i] + 7));
    QTemporaryDir folder;
    const std::string dir = folder.path().toStdString() + "/";
    // The harvest's rounds: two sources of the stand-in, the a-z expansion.
    vorlith::standin::Options standinOptions;
    standinOptions.Quiet = true;
    vorlith::standin::StandinServer standin(standinOptions);
    standin.Start();
    {
        std::ofstream file(dir + "sources.ini");
        file << "[Suggest builtin]\nEnabled=0\n";
        for (const char* shape : {"json", "yahoo"})
            file << "[Suggest " << shape << "]\nName=" << shape << "\nURL=http://127.0.0.1:" << standin.Port()
                 << "/sources/" << shape << "?q={query}\nQuery=percent\nFormat=json\nPath="
                 << (std::string(shape) == "json" ? "1/*" : "r/*/k") << "\nEnabled=1\n";
    }
    vorlith::TfrmMain window(dir);
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    vorlith::Workspace& ws = window.Ws();
    const auto load = Load(rows);
    auto refill = [&] {
        if (ws.table.RowCount() == rows)
            return;
        ws.table.DeleteAll();
        ws.table.AppendMany(load);
        QApplication::processEvents();
    };
    const std::string listFile = dir + "keywords.txt", resultsFile = dir + "results.csv";
    {
        std::ofstream list(listFile), results(resultsFile);
        results << "No,Keywords,Searches,Google,Yahoo,Msn\n";
        for (int r = 0; r < rows; ++r) {
            const auto& cells = load[static_cast<std::size_t>(rows - 1 - r)];
            list << cells[0] << "\n";
            results << r + 1 << ',' << cells[0] << ',' << cells[1] << ',' << cells[2] << ",," << cells[4] << "\n";
        }
    }
    auto empty = [&] {
        ws.table.DeleteAll();
        QApplication::processEvents();
    };
    auto* removeDuplicates = window.findChild<QPushButton*>(QStringLiteral("btnRemoveDuplicates"));
    auto* list = window.findChild<QTableView*>(QStringLiteral("lvwItems"));
    auto action = [&](const char* text) {
        for (QAction* a : window.findChildren<QAction*>())
            if (a->text() == QString::fromUtf8(text))
                return a;
        std::fprintf(stderr, "no action %s\n", text);
        std::exit(1);
    };
    QShortcut* escape = nullptr;
    for (QShortcut* s : window.findChildren<QShortcut*>())
        if (s->key() == QKeySequence(Qt::Key_Escape))
            escape = s;
    // Esc a while into a command; how long the table then takes to be free again.
    bool escPending = false;
    QElapsedTimer sinceEsc;
    double escToIdle = -1;
    auto escapeAfter = [&](int afterMs, const std::function<void()>& command) {
        escPending = true;
        command();
        QTimer::singleShot(afterMs, [&] {
            sinceEsc.start();
            escPending = false;
            Q_EMIT escape->activated();
        });
    };
    auto idle = [&] {
        if (escPending || ws.Work.Busy() || ws.table.Held() || !ws.Runs.Idle())
            return false;
        if (sinceEsc.isValid() && escToIdle < 0)
            escToIdle = static_cast<double>(sinceEsc.nsecsElapsed()) / 1e6;
        return true;
    };
    auto sortByKeywords = [&] { window.lvwItemsColumnClick(1); };
    auto removeAllDuplicates = [&] { removeDuplicates->click(); };
    struct Step {
        const char* Name;
        std::function<void()> Command;
        std::function<void()> Before = {}; // not measured
    };
    const std::vector<Step> steps = {
        {"Sort by Keywords", [&] { window.lvwItemsColumnClick(1); }},
        {"Sort by Searches", [&] { window.lvwItemsColumnClick(2); }},
        {"Sort by No", [&] { window.lvwItemsColumnClick(0); }},
        {"Filter, first letter", [&] { window.SetFilter("k"); }},
        {"Filter, second letter", [&] { window.SetFilter("ke"); }},
        {"Filter emptied", [&] { window.SetFilter(""); }},
        {"Remove Duplicates", [&] { removeDuplicates->click(); }},
        {"Select All", [&] { window.bsSkinButton1Click(); }},
        {"Clear Selection", [&] { window.bsSkinButton2Click(); }},
        {"Select All, then Delete Selected", [&] {
             window.bsSkinButton1Click();
             window.bsSkinButton3Click();
         }},
        {"Save Results",
         [&] {
             answerFile = dir + "stalls.csv";
             window.btnSaveResultsClick();
         }},
        {"Save Shown (filter \"term 1\")",
         [&] {
             answerFile = dir + "stalls.csv";
             action("Save Shown\u2026")->trigger();
         },
         [&] { window.SetFilter("term 1"); }},
        {"Copy Rows (every row highlighted)", [&] { action("Copy Rows")->trigger(); },
         [&] {
             window.SetFilter("");
             list->selectAll();
         }},
        {"Export XLSX",
         [&] {
             answerFile = dir + "stalls.xlsx";
             action("Export XLSX\u2026")->trigger();
         }},
        {"Esc 100 ms into a sort by Keywords", [&] { escapeAfter(100, sortByKeywords); }},
        {"Esc 300 ms into a sort by Keywords", [&] { escapeAfter(300, sortByKeywords); }},
        {"Esc 500 ms into a sort by Keywords", [&] { escapeAfter(500, sortByKeywords); }},
        {"Esc 100 ms into Remove Duplicates", [&] { escapeAfter(100, removeAllDuplicates); }},
        {"Delete All", [&] { window.bsSkinButton4Click(); }},
        {"Undo Delete All", [&] { window.Editing().Undo(); }},
        {"Redo Delete All", [&] { window.Editing().Redo(); }},
        {"Remove Duplicates, again", [&] { removeDuplicates->click(); }},
        {"Undo Remove Duplicates", [&] { window.Editing().Undo(); }},
        {"Redo Remove Duplicates", [&] { window.Editing().Redo(); }},
        {"Import keywords, empty table", [&] {
             answerFile = listFile;
             skipExisting = false;
             window.btnAddKeywordClick();
         }},
        {"Import keywords, onto the rows", [&] {
             answerFile = listFile;
             skipExisting = false;
             window.btnAddKeywordClick();
         }},
        {"Import keywords, skip existing", [&] {
             answerFile = listFile;
             skipExisting = true;
             window.btnAddKeywordClick();
         }},
        {"Open Results, empty table", [&] {
             answerFile = resultsFile;
             window.Editing().OpenResults();
         }},
        {"Harvest rounds merged", [&] {
             ws.MainKeyword = "golf clubs";
             ws.Harvest.Expand = vorlith::Expansion::AZ;
             window.btnGatherKeywordClick();
         }},
    };
    std::printf("%-34s %12s %12s\n", "command", "stall ms", "rows after");
    for (const Step& step : steps) {
        const std::string name = step.Name;
        if (name.ends_with("empty table"))
            empty();
        else if (name == "Remove Duplicates" || name == "Select All, then Delete Selected" || name == "Delete All" ||
                 name.starts_with("Import keywords, ") || name == "Harvest rounds merged")
            refill();
        else if (ws.table.RowCount() == 0 && !name.starts_with("Undo") && !name.starts_with("Redo"))
            refill();
        if (step.Before) {
            step.Before();
            QApplication::processEvents();
        }
        const double stall = LargestStall(step.Command, idle);
        std::printf("%-34s %12.0f %12d\n", step.Name, stall, ws.table.RowCount());
        if (name.starts_with("Copy Rows")) {
            // The part left on the window's thread: handing the text to the clipboard.
            const QString text = QGuiApplication::clipboard()->text();
            QElapsedTimer handOver;
            handOver.start();
            QGuiApplication::clipboard()->setText(text);
            std::printf("%-34s %12.0f\n", "  of it, setText of the MB below", static_cast<double>(handOver.nsecsElapsed()) / 1e6);
            std::printf("%-34s %12.0f\n", "  (MB of text, UTF-16)", static_cast<double>(text.size()) * 2 / 1e6);
        }
        if (name.starts_with("Esc")) {
            std::printf("%-34s %12.0f\n", "  from Esc to a free table", escToIdle);
            escToIdle = -1;
        }
        std::fflush(stdout);
    }
    std::printf("(%d rows)\n", rows);
    return 0;
}
