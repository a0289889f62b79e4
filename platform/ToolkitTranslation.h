#pragma once
#include <QLocale>

// Loads the toolkit's own catalogue (buttons of message boxes, the
// editors' context menus, the standard dialogs) for the locale into the
// running application. False when there is none for it.
bool installToolkitTranslation(const QLocale &locale);
