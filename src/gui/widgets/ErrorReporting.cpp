#include "gui/widgets/ErrorReporting.h"

#include "platform/QStringBytes.h"

#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <typeinfo>

namespace vorlith {

ErrorReport ErrorReporter::Describe(std::exception_ptr error, const QString& where) {
    ErrorReport report;
    QString type = QStringLiteral("unknown exception");
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        report.Message = ToQString(e.what());
        type = QString::fromLatin1(typeid(e).name());
    } catch (...) {
        report.Message = QStringLiteral("An unexpected error occurred.");
    }
    report.Details =
        QStringLiteral("Application: %1 %2\nTime: %3\nException: %4\nWhile handling: %5\nMessage: %6\n")
            .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                 QDateTime::currentDateTime().toString(Qt::ISODate), type, where, report.Message);
    return report;
}

void ErrorReporter::Report(const ErrorReport& report) {
    ++reports_;
    if (presenter_)
        presenter_(report);
    else
        ShowErrorWindow(report);
}

void ErrorReporter::ReportCurrentException(const QString& where) {
    Report(Describe(std::current_exception(), where));
}

VorlithApplication::VorlithApplication(int& argc, char** argv) : QApplication(argc, argv) {}

VorlithApplication* VorlithApplication::Instance() {
    return qobject_cast<VorlithApplication*>(QCoreApplication::instance());
}

bool VorlithApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The handler's command ends here; the window and its loop go on.
        const QString where = receiver ? QString::fromLatin1(receiver->metaObject()->className()) +
                                             QLatin1Char(' ') + receiver->objectName()
                                       : QStringLiteral("(no receiver)");
        reporter_.ReportCurrentException(where);
        return true;
    }
}

void ShowErrorWindow(const ErrorReport& report) {
    QDialog window;
    window.setWindowTitle(QStringLiteral("Error"));
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    window.setObjectName(QStringLiteral("frmError"));

    auto* icon = new QLabel;
    icon->setPixmap(window.style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    auto* message = new QLabel(report.Message);
    message->setObjectName(QStringLiteral("lblErrorMessage"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(message, 1);

    auto* details = new QPlainTextEdit(report.Details);
    details->setObjectName(QStringLiteral("edtErrorDetails"));
    details->setReadOnly(true);
    details->setMinimumSize(420, 120);

    auto* buttons = new QDialogButtonBox;
    QPushButton* save = buttons->addButton(QStringLiteral("Save report..."), QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    QObject::connect(save, &QPushButton::clicked, &window, [&window, &report] {
        const QString path = QFileDialog::getSaveFileName(&window, QStringLiteral("Save report"),
                                                          QStringLiteral("vorlith-error.txt"),
                                                          QStringLiteral("Text files (*.txt)"));
        if (path.isEmpty())
            return;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write((report.Message + QLatin1String("\n\n") + report.Details).toLocal8Bit());
    });

    auto* layout = new QVBoxLayout(&window);
    layout->addLayout(top);
    layout->addWidget(details);
    layout->addWidget(buttons);
    window.exec();
}

void Guarded(const char* where, const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        if (auto* app = VorlithApplication::Instance())
            app->Reporter().ReportCurrentException(QString::fromLatin1(where));
    }
}

} // namespace vorlith
