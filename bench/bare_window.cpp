// The baseline for Halvrenn's start-up and memory: the same window (size, title length, eight
// plain widgets) with nothing of the project in it.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare"));
  window.setFixedSize(476, 238);
  for (int row = 0; row < 4; ++row) {
    auto* label = new QLabel(QStringLiteral("Label %1").arg(row + 1), &window);
    label->setGeometry(8, 8 + row * 56, 460, 20);
    auto* field = new QLineEdit(QStringLiteral("0"), &window);
    field->setGeometry(8, 30 + row * 56, 460, 24);
  }
  window.show();
  return QApplication::exec();
}
