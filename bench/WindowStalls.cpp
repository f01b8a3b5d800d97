// How long each table command holds the window's event loop at a million rows: the real window,
// offscreen, a probe timer firing every 2 ms, and the largest gap between its firings from the
// command's start until its work (on the loop or a worker) has ended. Message boxes are answered
// with their first button as soon as they show, and file dialogs with the bench's own file. Prints
// one line per command; an Esc step also prints how long the table took to come back.
//   bench_WindowStalls [--rows=N]
#include "gui/FMain.h"
#include "workspace/KeywordTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
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

// The file the next file dialog is answered with.
QString answerFile;

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
        if (auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            files->selectFile(answerFile);
            static_cast<QDialog*>(files)->accept();
            return;
        }
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
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
    vorlith::TfrmMain window(folder.path().toStdString() + "/");
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
    const QString csv = folder.path() + QStringLiteral("/stalls.csv");
    const QString xlsx = folder.path() + QStringLiteral("/stalls.xlsx");
    // Esc a while into a sort by Keywords; how long the table then takes to be free again.
    bool escPending = false;
    QElapsedTimer sinceEsc;
    double escToIdle = -1;
    auto sortThenEscape = [&](int afterMs) {
        escPending = true;
        window.lvwItemsColumnClick(1);
        QTimer::singleShot(afterMs, [&] {
            sinceEsc.start();
            escPending = false;
            Q_EMIT escape->activated();
        });
    };
    auto idle = [&] {
        if (escPending || ws.Work.Busy() || ws.table.Held())
            return false;
        if (sinceEsc.isValid() && escToIdle < 0)
            escToIdle = static_cast<double>(sinceEsc.nsecsElapsed()) / 1e6;
        return true;
    };
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
        {"Select All, then Delete Selected",
         [&] {
             window.bsSkinButton1Click();
             window.bsSkinButton3Click();
         }},
        {"Save Results",
         [&] {
             answerFile = csv;
             window.btnSaveResultsClick();
         }},
        {"Save Shown (filter \"term 1\")",
         [&] {
             answerFile = csv;
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
             answerFile = xlsx;
             action("Export XLSX\u2026")->trigger();
         }},
        {"Esc 100 ms into a sort by Keywords", [&] { sortThenEscape(100); }},
        {"Esc 300 ms into a sort by Keywords", [&] { sortThenEscape(300); }},
        {"Esc 500 ms into a sort by Keywords", [&] { sortThenEscape(500); }},
        {"Esc 100 ms into Remove Duplicates",
         [&] {
             escPending = true;
             removeDuplicates->click();
             QTimer::singleShot(100, [&] {
                 sinceEsc.start();
                 escPending = false;
                 Q_EMIT escape->activated();
             });
         }},
        {"Delete All", [&] { window.bsSkinButton4Click(); }},
    };
    std::printf("%-38s %12s\n", "command", "stall ms");
    for (const Step& step : steps) {
        if (std::strcmp(step.Name, "Remove Duplicates") == 0 || std::strncmp(step.Name, "Select All,", 11) == 0 ||
            std::strcmp(step.Name, "Delete All") == 0)
            refill();
        if (ws.table.RowCount() == 0)
            refill();
        if (step.Before) {
            step.Before();
            QApplication::processEvents();
        }
        const double stall = LargestStall(step.Command, idle);
        std::printf("%-38s %12.0f\n", step.Name, stall);
        if (std::strncmp(step.Name, "Copy Rows", 9) == 0) {
            // The part left on the window's thread: handing the text to the clipboard.
            const QString text = QGuiApplication::clipboard()->text();
            QElapsedTimer handOver;
            handOver.start();
            QGuiApplication::clipboard()->setText(text);
            std::printf("%-38s %12.0f\n", "  of it, setText of the MB below",
                        static_cast<double>(handOver.nsecsElapsed()) / 1e6);
            std::printf("%-38s %12.0f\n", "  (MB of text, UTF-16)",
                        static_cast<double>(text.size()) * 2 / 1e6);
        }
        if (std::strncmp(step.Name, "Esc", 3) == 0) {
            std::printf("%-38s %12.0f\n", "  from Esc to a free table", escToIdle);
            escToIdle = -1;
        }
        std::fflush(stdout);
    }
    std::printf("(%d rows)\n", rows);
    return 0;
}
