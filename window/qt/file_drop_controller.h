#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

class QProgressDialog;
class QWidget;

namespace halvrenn {
class FileDropJob;
struct DropProgress;
}  // namespace halvrenn

namespace halvrenn::qt {

class DropReportDialog;

// The Qt face of a file drop: asks once whether existing outputs are replaced, converts on a
// worker thread behind a modeless progress dialog placed beside the window (so that every field
// stays in view) with a Cancel button, and shows the report (drop_report_dialog.h). The window
// stays usable throughout.
class FileDropController final : public QObject {
 public:
  explicit FileDropController(QWidget* window);
  ~FileDropController() override;  // cancels a running conversion and waits for it

  // Converts the files and folders' files that `dropped` names, as the bytes of their paths;
  // while one conversion runs, a further drop is declined with a note.
  void Convert(const std::vector<std::string>& dropped);
  // Stops a running conversion at once and waits for it: no partial output remains.
  void CancelAndWait();

  bool running() const { return job_ != nullptr; }
  QProgressDialog* progress_dialog() const;
  DropReportDialog* report() const;

 private:
  void ShowProgress(const DropProgress& progress);
  void Finish();

  QWidget* window_;
  std::unique_ptr<FileDropJob> job_;
  QPointer<QProgressDialog> progress_;
  QPointer<DropReportDialog> report_;
};

}  // namespace halvrenn::qt
