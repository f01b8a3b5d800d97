#include "platform/Shell.h"

#include "platform/QStringBytes.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace vorlith {

std::string SystemShell::HtmlOpenCommand() {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return {};
    return "\"" + ToBytes(opener) + "\" \"%1\"";
}

void SystemShell::Open(std::string_view file, std::string_view parameters) {
    if (file.empty())
        return; // nothing to open; the shell would only fail
    const QString target = ToQString(file);
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable()) {
        QProcess::startDetached(target, QProcess::splitCommand(ToQString(parameters)), info.absolutePath());
        return;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        QProcess::startDetached(opener, {target});
}

} // namespace vorlith
