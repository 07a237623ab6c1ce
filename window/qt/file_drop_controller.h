#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

class QMessageBox;
class QProgressDialog;
class QWidget;

namespace halvrenn {
class FileDropJob;
struct DropProgress;
}  // namespace halvrenn

namespace halvrenn::qt {

// The Qt face of a file drop: asks once whether existing outputs are replaced, converts on a
// worker thread behind a modeless progress dialog with a Cancel button, and shows the result in a
// modeless message with a button that opens the outputs' folder. The window stays usable
// throughout.
class FileDropController final : public QObject {
 public:
  explicit FileDropController(QWidget* window);
  ~FileDropController() override;  // cancels a running conversion and waits for it

  // Converts the files and folders' files that `dropped` names; while one conversion runs, a
  // further drop is declined with a note.
  void Convert(const std::vector<std::string>& dropped);
  // Stops a running conversion at once and waits for it: no partial output remains.
  void CancelAndWait();

  bool running() const { return job_ != nullptr; }
  QProgressDialog* progress_dialog() const;
  QMessageBox* report() const;

 private:
  void ShowProgress(const DropProgress& progress);
  void Finish();

  QWidget* window_;
  std::unique_ptr<FileDropJob> job_;
  QPointer<QProgressDialog> progress_;
  QPointer<QMessageBox> report_;
};

}  // namespace halvrenn::qt
