#pragma once

#include <QDialog>
#include <optional>

#include "window/drop_report.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace halvrenn::qt {

// The report at the end of a drop, modeless and of one size whatever the number of files: the
// icon and the totals, the files in a scrolling list, and Open Folder and Close always in view.
// Open Folder closes the report once the folder opened, and otherwise says why and stays.
class DropReportDialog final : public QDialog {
 public:
  DropReportDialog(const DropReport& report, QWidget* parent);

  QLabel* icon() const { return icon_; }
  QLabel* totals() const { return totals_; }
  QPlainTextEdit* files() const { return files_; }
  QPushButton* open_folder() const { return open_folder_; }  // none without outputs
  QLabel* note() const { return note_; }

 private:
  void OpenFolder();

  std::optional<FolderToShow> outputs_;
  QLabel* icon_;
  QLabel* totals_;
  QPlainTextEdit* files_;
  QLabel* note_;
  QPushButton* open_folder_ = nullptr;
};

// The icon of a report of `kind`, as the style draws message boxes' icons.
QPixmap DropReportIcon(DropReportKind kind, const QWidget* widget);

// Opens the folder in the file manager; false, with `error` set, when none could be started.
bool ShowFolder(const FolderToShow& shown, QString& error);

}  // namespace halvrenn::qt
