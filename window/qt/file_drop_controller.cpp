#include "window/qt/file_drop_controller.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include "cdr/files/paths.h"
#include "window/file_drop.h"
#include "window/file_drop_texts.h"
#include "window/qt/drop_report_dialog.h"

namespace halvrenn::qt {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Title() { return FromUtf8(kDropTexts.title); }

// Whether existing outputs are replaced: asked once for the whole drop. A closed question keeps
// them, the careful answer.
bool AskReplace(QWidget* window, std::size_t existing) {
  const Question asked = ReplaceQuestion(existing);
  QMessageBox question(QMessageBox::Question, Title(), FromUtf8(asked.text), QMessageBox::NoButton,
                       window);
  question.setInformativeText(FromUtf8(asked.choice));
  QPushButton* replace =
      question.addButton(FromUtf8(kDropTexts.replace_button), QMessageBox::AcceptRole);
  QPushButton* skip = question.addButton(FromUtf8(kDropTexts.skip_button), QMessageBox::RejectRole);
  question.setDefaultButton(skip);
  question.setEscapeButton(skip);
  question.exec();
  return question.clickedButton() == replace;
}

// Beside the window, where it hides none of its fields.
void PlaceBesideWindow(QWidget* dialog, const QWidget* window) {
  dialog->adjustSize();
  const QRect owner = window->frameGeometry();
  const QRect area = window->screen()->availableGeometry();
  const ScreenRect place =
      PlaceBeside({owner.left(), owner.top(), owner.right() + 1, owner.bottom() + 1},
                  dialog->frameGeometry().width(), dialog->frameGeometry().height(),
                  {area.left(), area.top(), area.right() + 1, area.bottom() + 1});
  dialog->move(place.left, place.top);
}

}  // namespace

FileDropController::FileDropController(QWidget* window) : QObject(window), window_(window) {}

FileDropController::~FileDropController() { CancelAndWait(); }

void FileDropController::Convert(const std::vector<std::string>& dropped) {
  if (job_) {
    QMessageBox::information(window_, Title(), FromUtf8(kDropTexts.busy));
    return;
  }
  DropFiles drop = FilesOfDrop(dropped);
  if (drop.files.empty()) {
    QMessageBox::information(window_, Title(), FromUtf8(NothingToConvertText(drop.skipped)));
    return;
  }
  const std::size_t existing = FilesWithExistingOutput(drop.files).size();
  const bool replace = existing > 0 && AskReplace(window_, existing);
  if (report_) report_->close();  // deleted later; a new report follows
  report_ = nullptr;

  progress_ = new QProgressDialog(window_);
  progress_->setAttribute(Qt::WA_DeleteOnClose);
  progress_->setWindowTitle(Title());
  progress_->setWindowModality(Qt::NonModal);             // typing into Text1 goes on
  progress_->setAttribute(Qt::WA_ShowWithoutActivating);  // and the focus stays there
  progress_->setLabelText(
      FromUtf8(ProgressText(cdr::FileNameOf(drop.files.front()), 0, drop.files.size())));
  progress_->setCancelButtonText(FromUtf8(kDropTexts.cancel_button));
  progress_->setRange(0, 100);
  progress_->setMinimumDuration(0);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setMinimumWidth(360);
  connect(progress_, &QProgressDialog::canceled, this, [this] {
    if (job_) job_->Cancel();
  });
  progress_->setValue(0);
  PlaceBesideWindow(progress_, window_);
  progress_->show();

  // The worker's calls are queued to this object's thread; queued calls still pending when this
  // object goes are dropped with it, after the destructor has waited for the worker.
  job_ = std::make_unique<FileDropJob>(
      std::move(drop), replace,
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
DropReportDialog* FileDropController::report() const { return report_; }

void FileDropController::CancelAndWait() {
  job_.reset();
  if (progress_) progress_->close();
}

void FileDropController::ShowProgress(const DropProgress& progress) {
  if (!progress_ || !job_) return;
  progress_->setLabelText(FromUtf8(
      ProgressText(cdr::FileNameOf(progress.file), progress.file_index, progress.file_count)));
  progress_->setValue(progress.percent);
}

void FileDropController::Finish() {
  if (!job_) return;
  const std::unique_ptr<FileDropJob> job = std::move(job_);
  if (progress_) progress_->close();
  report_ = new DropReportDialog(MakeDropReport(job->Outcomes(), job->Skipped()), window_);
  report_->setAttribute(Qt::WA_DeleteOnClose);
  report_->setWindowModality(Qt::NonModal);
  report_->show();
}

}  // namespace halvrenn::qt
