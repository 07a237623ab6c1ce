#include "window/qt/drop_report_dialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

#include "window/file_drop_texts.h"

namespace halvrenn::qt {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A file URL from a path's bytes as they are, so that a name that is not UTF-8 still names its
// folder.
QUrl UrlOfPath(const std::string& path) {
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

}  // namespace

QPixmap DropReportIcon(DropReportKind kind, const QWidget* widget) {
  const QStyle::StandardPixmap pixmap =
      kind == DropReportKind::kError     ? QStyle::SP_MessageBoxCritical
      : kind == DropReportKind::kWarning ? QStyle::SP_MessageBoxWarning
                                         : QStyle::SP_MessageBoxInformation;
  const int size = widget->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, widget);
  return widget->style()->standardIcon(pixmap, nullptr, widget).pixmap(size, size);
}

bool ShowFolder(const FolderToShow& shown, QString& error) {
  if (QDesktopServices::openUrl(UrlOfPath(shown.folder))) return true;
  error = QStringLiteral("no file manager could be started");
  return false;
}

DropReportDialog::DropReportDialog(const DropReport& report, QWidget* parent)
    : QDialog(parent),
      outputs_(report.outputs),
      icon_(new QLabel(this)),
      totals_(new QLabel(FromUtf8(report.totals), this)),
      files_(new QPlainTextEdit(FromUtf8(report.files), this)),
      note_(new QLabel(this)) {
  setWindowTitle(FromUtf8(kDropTexts.title));
  icon_->setPixmap(DropReportIcon(report.kind, this));
  icon_->setAlignment(Qt::AlignTop);
  totals_->setTextFormat(Qt::PlainText);
  totals_->setWordWrap(true);
  totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* files_label = new QLabel(FromUtf8(kDropTexts.files_label), this);
  files_label->setBuddy(files_);
  files_->setReadOnly(true);
  files_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  note_->setTextFormat(Qt::PlainText);
  note_->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(this);
  if (outputs_) {
    open_folder_ =
        buttons->addButton(FromUtf8(kDropTexts.open_folder_button), QDialogButtonBox::ActionRole);
    connect(open_folder_, &QPushButton::clicked, this, &DropReportDialog::OpenFolder);
  }
  QPushButton* close =
      buttons->addButton(FromUtf8(kDropTexts.close_button), QDialogButtonBox::RejectRole);
  close->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QGridLayout(this);
  layout->addWidget(icon_, 0, 0);
  layout->addWidget(totals_, 0, 1);
  layout->addWidget(files_label, 1, 0, 1, 2);
  layout->addWidget(files_, 2, 0, 1, 2);
  layout->addWidget(note_, 3, 0, 1, 2);
  layout->addWidget(buttons, 4, 0, 1, 2);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(2, 1);
  // One size for any number of files: the list scrolls instead.
  setFixedSize(560, 400);
  close->setFocus();
}

void DropReportDialog::OpenFolder() {
  QString error;
  if (ShowFolder(*outputs_, error)) {
    accept();
    return;
  }
  note_->setText(FromUtf8(CannotOpenFolderText(outputs_->folder, error.toStdString())));
}

}  // namespace halvrenn::qt
