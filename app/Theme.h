// The visual themes the program carries inside itself.
#pragma once

#include <QString>

class QApplication;

inline const char* const StartupThemeName = "Cyan Dusk";

// Applies the named theme. When the program carries no theme of that name,
// an error box "Style '<name>' not found" with a Close button is shown and
// the standard look stays.
void ApplyTheme(QApplication& application, const QString& name);

// True when the program carries a theme of that name.
bool ThemeExists(const QString& name);
