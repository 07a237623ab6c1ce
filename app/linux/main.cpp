// Halvrenn for Linux: Form1 as a Qt window. The program reads no command line of its own (Qt
// takes its standard options, such as -platform).

#include <QApplication>
#include <QIcon>
#include <clocale>

#include "form1_widget.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Qt selects the user's locale too; the core's formats and decimal separator depend on it.
  std::setlocale(LC_ALL, "");
  QApplication::setApplicationName(QStringLiteral("Halvrenn"));
  QApplication::setApplicationVersion(QStringLiteral(HALVRENN_DISPLAY_VERSION));
  QApplication::setDesktopFileName(QStringLiteral(HALVRENN_APP_ID));
  QIcon icon = QIcon::fromTheme(QStringLiteral("halvrenn"));
  if (icon.isNull()) {
    for (const int size : {16, 32, 48, 64, 128, 256}) {
      icon.addFile(QStringLiteral(":/icons/%1x%1/apps/halvrenn.png").arg(size));
    }
  }
  QApplication::setWindowIcon(icon);

  halvrenn::qt::Form1Widget form;
  form.show();
  return QApplication::exec();
}
