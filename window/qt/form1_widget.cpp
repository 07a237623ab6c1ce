#include "window/qt/form1_widget.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "window/dispatch.h"
#include "window/qt/digits_only_line_edit.h"
#include "window/qt/file_drop_controller.h"

namespace halvrenn::qt {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The local files a drag carries, as the bytes of their paths: a file manager percent-encodes a
// name's bytes, which need not be UTF-8 (a Latin-1 "caf\xe9.csv"), and decoding the URL to text
// would lose them. None for text, or for files that are not local.
std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    files.push_back(QByteArray::fromPercentEncoding(encoded).toStdString());
  }
  return files;
}

}  // namespace

Form1Widget::Form1Widget(QWidget* parent)
    : QWidget(parent), file_drop_(new FileDropController(this)) {
  setAcceptDrops(true);
  setWindowTitle(FromUtf8(Form1.title));
  setFixedSize(PixelsFromTwips(Form1.client_width), PixelsFromTwips(Form1.client_height));

  QLabel* pending_label = nullptr;
  QWidget* previous_field = nullptr;
  for (std::size_t index = 0; index < Form1.controls.size(); ++index) {
    const ControlDescription& d = Form1.controls[index];
    QWidget* widget = nullptr;
    if (d.kind == ControlKind::kLabel) {
      auto* label = new QLabel(FromUtf8(d.initial_text), this);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      pending_label = label;
      widget = label;
    } else {
      const bool is_input = index == static_cast<std::size_t>(Form1Control::Text1);
      QLineEdit* field = is_input ? new DigitsOnlyLineEdit(this) : new QLineEdit(this);
      field->setText(FromUtf8(d.initial_text));
      if (d.max_length > 0) field->setMaxLength(d.max_length);
      // The table lists each label just before its field, and the fields in focus order.
      if (pending_label != nullptr) pending_label->setBuddy(field);
      pending_label = nullptr;
      if (previous_field != nullptr) setTabOrder(previous_field, field);
      previous_field = field;
      // A field takes dropped text itself; dropped files it leaves to the window.
      field->installEventFilter(this);
      widget = field;
    }
    widget->setObjectName(FromUtf8(d.name));
    widget->setGeometry(PixelsFromTwips(d.left), PixelsFromTwips(d.top), PixelsFromTwips(d.width),
                        PixelsFromTwips(d.height));
    controls_[index] = widget;
  }

  // textChanged follows every change of the text: typing, paste, deletion, undo.
  connect(field(Form1Control::Text1), &QLineEdit::textChanged, this, &Form1Widget::OnText1Changed);
  field(Form1Control::Text1)->setFocus();
}

QWidget* Form1Widget::control(Form1Control control) const {
  return controls_[static_cast<std::size_t>(control)];
}

QLineEdit* Form1Widget::field(Form1Control control) const {
  return qobject_cast<QLineEdit*>(this->control(control));
}

Form1Widget::~Form1Widget() = default;

void Form1Widget::ConvertFiles(const std::vector<std::string>& paths) {
  file_drop_->Convert(paths);
}

void Form1Widget::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void Form1Widget::dragMoveEvent(QDragMoveEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void Form1Widget::dropEvent(QDropEvent* event) {
  const std::vector<std::string> files = LocalFiles(event->mimeData());
  if (files.empty()) return;
  event->acceptProposedAction();
  ConvertFiles(files);
}

// Closing the window stops a conversion cleanly: the file being written is removed.
void Form1Widget::closeEvent(QCloseEvent* event) {
  file_drop_->CancelAndWait();
  QWidget::closeEvent(event);
}

bool Form1Widget::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);  // QDragEnterEvent and QDragMoveEvent too
      if (LocalFiles(drop->mimeData()).empty()) break;
      if (event->type() == QEvent::Drop) {
        dropEvent(drop);
      } else {
        drop->acceptProposedAction();
      }
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void Form1Widget::OnText1Changed() { DispatchInputChange(*this); }

std::string Form1Widget::ReadText1() const {
  return field(Form1Control::Text1)->text().toStdString();
}

// setText leaves the cursor at the end, and a line edit scrolls to its cursor: the cursor goes
// back to the start so that a text too wide for the field shows its start, as in the Windows edit
// control.
void Form1Widget::WriteField(Form1Control control, const std::string& text) {
  QLineEdit* output = field(control);
  output->setText(QString::fromStdString(text));
  output->setCursorPosition(0);
}

void Form1Widget::WriteText2(const std::string& text) { WriteField(Form1Control::Text2, text); }
void Form1Widget::WriteText3(const std::string& text) { WriteField(Form1Control::Text3, text); }
void Form1Widget::WriteText4(const std::string& text) { WriteField(Form1Control::Text4, text); }

}  // namespace halvrenn::qt
