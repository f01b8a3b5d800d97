#include "gui/widgets/Skin.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// The resources sit in a static library: they must be registered before the first use, and the
// registration macro only works outside a namespace.
static void InitSkinResources() {
    Q_INIT_RESOURCE(vorlith);
}

namespace vorlith {

QString BuiltInSkin() {
    InitSkinResources();
    QFile file(QStringLiteral(":/vorlith/skin/default.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void ApplySkin(const QString& styleSheet) {
    qApp->setStyleSheet(styleSheet);
}

void CenterOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}

void MakeFixedDialog(QWidget& window, const QString& caption, int width, int height) {
    window.setWindowTitle(caption);
    window.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window.setFixedSize(width, height);
    CenterOnScreen(window);
}

} // namespace vorlith
