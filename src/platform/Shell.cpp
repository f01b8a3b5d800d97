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

bool SystemShell::Open(std::string_view file, std::string_view parameters) {
    if (file.empty())
        return false; // nothing to open; the shell would only fail
    const QString target = ToQString(file);
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable()) {
        // The absolute path: a relative one would be looked up again from the new working folder.
        return QProcess::startDetached(info.absoluteFilePath(), QProcess::splitCommand(ToQString(parameters)),
                                       info.absolutePath());
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !opener.isEmpty() && QProcess::startDetached(opener, {target});
}

} // namespace vorlith
