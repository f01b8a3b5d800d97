#pragma once
// The look of every window: Qt style sheets. The built-in skin is compiled into the program.

#include <QString>

class QWidget;

namespace vorlith {

// The built-in skin's style sheet.
QString BuiltInSkin();

// Applies a style sheet to the whole application (every window, dialogs included).
void ApplySkin(const QString& styleSheet);

// Window helpers shared by the dialogs and the message box.
void CenterOnScreen(QWidget& window);
// A fixed client size with a close control only.
void MakeFixedDialog(QWidget& window, const QString& caption, int width, int height);

} // namespace vorlith
