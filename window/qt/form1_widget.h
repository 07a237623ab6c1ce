#pragma once

#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "window/form1_layout.h"
#include "window/on_input_change.h"

class QDropEvent;
class QLineEdit;
class QMimeData;

namespace halvrenn::qt {

class FileDropController;

// Form1 as a Qt widget: built from the shared table, a twip being 1/15 of a device-independent
// pixel; fixed size; each label the buddy of its field; Text1 digits-only for typing. Files
// dropped anywhere on it are converted (text dropped on Text1 stays a paste).
class Form1Widget final : public QWidget, public InputChangeFields {
 public:
  explicit Form1Widget(QWidget* parent = nullptr);
  ~Form1Widget() override;

  // Converts the files, and the files of the folders, named by the bytes of their local paths
  // (a name need not be UTF-8).
  void ConvertFiles(const std::vector<std::string>& paths);
  FileDropController& file_drop() const { return *file_drop_; }

  // The control of the table at `control`: a QLabel or a QLineEdit.
  QWidget* control(Form1Control control) const;
  QLineEdit* field(Form1Control control) const;

  std::string ReadText1() const override;
  void WriteText2(const std::string& text) override;
  void WriteText3(const std::string& text) override;
  void WriteText4(const std::string& text) override;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnText1Changed();
  void WriteField(Form1Control control, const std::string& text);

  std::array<QWidget*, Form1.controls.size()> controls_{};
  FileDropController* file_drop_;
};

// Twips to device-independent pixels: 15 twips are one pixel at 96 dpi, and Qt scales device-
// independent pixels to the screen's density itself.
constexpr int PixelsFromTwips(int twips) { return twips * 96 / kTwipsPerInch; }

}  // namespace halvrenn::qt
