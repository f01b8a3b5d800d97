#pragma once
// Top-level error reporting: an exception that escapes any handler is shown to the user, who may
// save a report, and the program goes on.

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

namespace vorlith {

struct ErrorReport {
    QString Message; // what the user reads first
    QString Details; // type, time, where it was caught: what a bug report needs
};

class ErrorReporter {
public:
    using Presenter = std::function<void(const ErrorReport&)>;

    // Builds the report for the exception in flight (call from a catch block).
    static ErrorReport Describe(std::exception_ptr error, const QString& where);

    // Shows the report: by default in a modal error window with "Save report...".
    void Report(const ErrorReport& report);
    void ReportCurrentException(const QString& where);

    // Tests and the terminal front end show reports their own way.
    void SetPresenter(Presenter presenter) { presenter_ = std::move(presenter); }
    int ReportCount() const { return reports_; }

private:
    Presenter presenter_;
    int reports_ = 0;
};

// The application: every event goes through notify(), which hands escaped exceptions to the reporter.
class VorlithApplication : public QApplication {
    Q_OBJECT
public:
    VorlithApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    ErrorReporter& Reporter() { return reporter_; }

    static VorlithApplication* Instance();

private:
    ErrorReporter reporter_;
};

// Shows the report in a modal window with the message, the details and "Save report...".
void ShowErrorWindow(const ErrorReport& report);

// Runs a command from a slot; what escapes it goes to the error window, never through Qt (which
// leaves an exception out of a slot undefined).
void Guarded(const char* where, const std::function<void()>& command);

} // namespace vorlith
