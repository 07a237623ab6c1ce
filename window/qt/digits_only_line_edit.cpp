#include "window/qt/digits_only_line_edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <memory>

namespace halvrenn::qt {
namespace {

bool IsAsciiDigits(const QString& text) {
  for (const QChar character : text) {
    if (character < QLatin1Char('0') || character > QLatin1Char('9')) return false;
  }
  return true;
}

// A key whose text the line edit could insert, as opposed to an editing key (Backspace, Delete,
// arrows, Home, End), whose text is a control character or empty.
bool CarriesText(const QKeyEvent& event) {
  const QString text = event.text();
  return !text.isEmpty() && text.front().category() != QChar::Other_Control;
}

// The text up to its first line break, as the Windows edit control pastes it.
QString FirstLine(QString text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
      text.truncate(i);
      break;
    }
  }
  return text;
}

}  // namespace

DigitsOnlyLineEdit::DigitsOnlyLineEdit(QWidget* parent) : QLineEdit(parent) {}

void DigitsOnlyLineEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    PasteFirstLine();
    event->accept();
    return;
  }
  if (CarriesText(*event) && !IsAsciiDigits(event->text())) {
    // Refused, like ES_NUMBER. Which chords insert their text is the line edit's business (Ctrl
    // with a keypad key, Alt, AltGr do), so it sees the key without its text: a shortcut such as
    // Ctrl+A or Ctrl+Z still works, and nothing is inserted.
    QKeyEvent without_text(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                           event->nativeVirtualKey(), event->nativeModifiers(), QString(),
                           event->isAutoRepeat(), static_cast<quint16>(event->count()),
                           event->device());
    without_text.setTimestamp(event->timestamp());
    QLineEdit::keyPressEvent(&without_text);
    event->accept();  // nothing else reacts to the refused character
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void DigitsOnlyLineEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (IsAsciiDigits(event->commitString())) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  // The composition goes on, but a commit holding anything but digits inserts nothing.
  QInputMethodEvent refused(event->preeditString(), event->attributes());
  refused.setCommitString(QString(), 0, 0);
  QLineEdit::inputMethodEvent(&refused);
}

void DigitsOnlyLineEdit::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu(createStandardContextMenu());
  if (auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
    disconnect(paste, &QAction::triggered, nullptr, nullptr);
    connect(paste, &QAction::triggered, this, [this] { PasteFirstLine(); });
  }
  menu->exec(event->globalPos());
}

// Where there is a selection (X11), a middle-click pastes it where the press put the cursor.
void DigitsOnlyLineEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton && !isReadOnly() &&
      QGuiApplication::clipboard()->supportsSelection()) {
    deselect();
    PasteFirstLine(QClipboard::Selection);
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

// A drop is a paste at the drop point: the line edit inserts what it is given, so it is given the
// first line alone; it places the cursor and keeps what fits.
void DigitsOnlyLineEdit::dropEvent(QDropEvent* event) {
  const QString text = event->mimeData()->text();
  const QString line = FirstLine(text);
  if (line.size() == text.size()) {
    QLineEdit::dropEvent(event);
    return;
  }
  QMimeData first_line;
  first_line.setText(line);
  QDropEvent cut(event->position(), event->possibleActions(), &first_line, event->buttons(),
                 event->modifiers(), event->type());
  cut.setDropAction(event->dropAction());
  QLineEdit::dropEvent(&cut);
  event->setDropAction(cut.dropAction());
  event->setAccepted(cut.isAccepted());
}

// Replaces the selection with the clipboard's text up to its first line break; insert() keeps
// only as many leading characters as the length limit leaves room for, and records the undo step.
void DigitsOnlyLineEdit::PasteFirstLine(QClipboard::Mode mode) {
  const QString text = FirstLine(QGuiApplication::clipboard()->text(mode));
  if (!text.isEmpty() || hasSelectedText()) insert(text);
}

}  // namespace halvrenn::qt
