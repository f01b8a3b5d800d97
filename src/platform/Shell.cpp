#include "platform/Shell.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace vorlith {

namespace {
QString Text(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

std::string SystemShell::HtmlOpenCommand() {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return {};
    return "\"" + opener.toLocal8Bit().toStdString() + "\" \"%1\"";
}

void SystemShell::Open(std::string_view file, std::string_view parameters) {
    if (file.empty())
        return; // nothing to open; the shell would only fail
    const QString target = Text(file);
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable()) {
        QProcess::startDetached(target, QProcess::splitCommand(Text(parameters)), info.absolutePath());
        return;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        QProcess::startDetached(opener, {target});
}

} // namespace vorlith
