// Halvrenn for Linux: Form1 as a Qt window. Files named on the command line (what a file manager
// passes for "Open with", after Qt has taken its standard options such as -platform) are
// converted as files dropped on the window are.

#include <QApplication>
#include <QIcon>
#include <string>
#include <vector>

#include "window/qt/form1_widget.h"

int main(int argc, char** argv) {
  // QApplication selects the user's locale (setlocale(LC_ALL, "")), on which the core's date
  // formats and decimal separator depend.
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Halvrenn"));
  QApplication::setApplicationVersion(QStringLiteral(HALVRENN_DISPLAY_VERSION));
  QApplication::setDesktopFileName(QStringLiteral(HALVRENN_APP_ID));
  // The desktop finds the installed icon theme entry through the desktop file name; the window's
  // own icon comes from the embedded PNGs. Sizes are given so that no file is read before it is
  // drawn, and no theme is searched: both would slow the start.
  QIcon icon;
  for (const int size : {16, 32, 48, 64}) {
    icon.addFile(QStringLiteral(":/icons/%1x%1/apps/halvrenn.png").arg(size), QSize(size, size));
  }
  QApplication::setWindowIcon(icon);

  halvrenn::qt::Form1Widget form;
  form.show();
  // The names as the bytes they are: QApplication::arguments() decodes them as UTF-8 and would
  // lose a Latin-1 "caf\xe9.csv". QApplication has taken its own options out of argv.
  const std::vector<std::string> files(argv + 1, argv + argc);
  if (!files.empty()) form.ConvertFiles(files);
  return QApplication::exec();
}
