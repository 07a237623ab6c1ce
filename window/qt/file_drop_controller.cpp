#include "file_drop_controller.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

#include "byte_streams.h"
#include "file_drop.h"

namespace halvrenn::qt {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QString NameOf(const std::string& file) { return FromUtf8(cdr::FileNameOf(file)); }

// Whether existing outputs are replaced: asked once for the whole drop. A closed question keeps
// them, the careful answer.
bool AskReplace(QWidget* window, std::size_t existing) {
  QMessageBox question(QMessageBox::Question, QStringLiteral("Halvrenn"),
                       existing == 1 ? QStringLiteral("The converted file of one dropped file "
                                                      "already exists.")
                                     : QStringLiteral("The converted files of %1 dropped files "
                                                      "already exist.")
                                           .arg(existing),
                       QMessageBox::NoButton, window);
  question.setInformativeText(QStringLiteral("Replace them, or skip those files?"));
  QPushButton* replace = question.addButton(QStringLiteral("&Replace"), QMessageBox::AcceptRole);
  QPushButton* skip = question.addButton(QStringLiteral("&Skip"), QMessageBox::RejectRole);
  question.setDefaultButton(skip);
  question.setEscapeButton(skip);
  question.exec();
  return question.clickedButton() == replace;
}

}  // namespace

FileDropController::FileDropController(QWidget* window) : QObject(window), window_(window) {}

FileDropController::~FileDropController() { CancelAndWait(); }

void FileDropController::Convert(const std::vector<std::string>& dropped) {
  if (job_) {
    QMessageBox::information(window_, QStringLiteral("Halvrenn"),
                             QStringLiteral("Files are being converted. Drop these again when "
                                            "that has finished."));
    return;
  }
  const std::vector<std::string> files = FilesOfDrop(dropped);
  if (files.empty()) {
    QMessageBox::information(window_, QStringLiteral("Halvrenn"),
                             QStringLiteral("The dropped folders hold no files to convert."));
    return;
  }
  const std::size_t existing = FilesWithExistingOutput(files).size();
  const bool replace = existing > 0 && AskReplace(window_, existing);
  if (report_) report_->close();  // deleted later; a new report follows
  report_ = nullptr;

  progress_ = new QProgressDialog(window_);
  progress_->setAttribute(Qt::WA_DeleteOnClose);
  progress_->setWindowTitle(QStringLiteral("Halvrenn"));
  progress_->setWindowModality(Qt::NonModal);  // typing into Text1 goes on
  progress_->setLabelText(QStringLiteral("Converting %1").arg(NameOf(files.front())));
  progress_->setRange(0, 100);
  progress_->setMinimumDuration(0);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setMinimumWidth(360);
  connect(progress_, &QProgressDialog::canceled, this, [this] {
    if (job_) job_->Cancel();
  });
  progress_->setValue(0);
  progress_->show();

  // The worker's calls are queued to this object's thread; queued calls still pending when this
  // object goes are dropped with it, after the destructor has waited for the worker.
  job_ = std::make_unique<FileDropJob>(
      files, replace,
      [this](const DropProgress& progress) {
        QMetaObject::invokeMethod(
            this, [this, progress] { ShowProgress(progress); }, Qt::QueuedConnection);
      },
      [this] {
        QMetaObject::invokeMethod(
            this, [this] { Finish(); }, Qt::QueuedConnection);
      });
}

QProgressDialog* FileDropController::progress_dialog() const { return progress_; }
QMessageBox* FileDropController::report() const { return report_; }

void FileDropController::CancelAndWait() {
  job_.reset();
  if (progress_) progress_->close();
}

void FileDropController::ShowProgress(const DropProgress& progress) {
  if (!progress_ || !job_) return;
  progress_->setLabelText(QStringLiteral("Converting %1 (%2 of %3)")
                              .arg(NameOf(progress.file))
                              .arg(progress.file_index + 1)
                              .arg(progress.file_count));
  progress_->setValue(progress.percent);
}

void FileDropController::Finish() {
  if (!job_) return;
  const std::unique_ptr<FileDropJob> job = std::move(job_);
  const std::vector<DroppedFile>& outcomes = job->Outcomes();
  if (progress_) progress_->close();

  const DropReportKind kind = DropReportKindOf(outcomes);
  const QMessageBox::Icon icon = kind == DropReportKind::kError     ? QMessageBox::Critical
                                 : kind == DropReportKind::kWarning ? QMessageBox::Warning
                                                                    : QMessageBox::Information;
  report_ = new QMessageBox(icon, QStringLiteral("Halvrenn"), FromUtf8(DropReportText(outcomes)),
                            QMessageBox::Ok, window_);
  report_->setAttribute(Qt::WA_DeleteOnClose);
  report_->setWindowModality(Qt::NonModal);
  report_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (const std::optional<std::string> folder = FolderOfOutputs(outcomes)) {
    QPushButton* open = report_->addButton(QStringLiteral("&Open Folder"), QMessageBox::ActionRole);
    const QUrl url = QUrl::fromLocalFile(FromUtf8(*folder));
    // An action button closes the message too; the folder opens first.
    connect(open, &QPushButton::clicked, this, [url] { QDesktopServices::openUrl(url); });
  }
  report_->show();
}

}  // namespace halvrenn::qt
