// What the application is given before the repair window is created: its
// name (the title of every message box), the font and the theme.
#pragma once

class QApplication;

void PrepareApplication(QApplication& application);
