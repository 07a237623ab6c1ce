#include "digits_only_line_edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
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
// arrows, Home, End, whose text is a control character or empty) or a Ctrl or Ctrl+Shift
// shortcut. Alt, AltGr and Meta chords, invisible format marks and private-use characters can
// all insert text, so they count.
bool InsertsText(const QKeyEvent& event) {
  const QString text = event.text();
  if (text.isEmpty() || text.front().category() == QChar::Other_Control) return false;
  const Qt::KeyboardModifiers chord = event.modifiers() & ~Qt::KeypadModifier;
  return chord != Qt::ControlModifier && chord != (Qt::ControlModifier | Qt::ShiftModifier);
}

}  // namespace

DigitsOnlyLineEdit::DigitsOnlyLineEdit(QWidget* parent) : QLineEdit(parent) {}

void DigitsOnlyLineEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    PasteFirstLine();
    event->accept();
    return;
  }
  if (InsertsText(*event) && !IsAsciiDigits(event->text())) {
    event->accept();  // refused, like ES_NUMBER: nothing is inserted and nothing else reacts
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
    connect(paste, &QAction::triggered, this, &DigitsOnlyLineEdit::PasteFirstLine);
  }
  menu->exec(event->globalPos());
}

// Replaces the selection with the clipboard's text up to its first line break; insert() keeps
// only as many leading characters as the length limit leaves room for, and records the undo step.
void DigitsOnlyLineEdit::PasteFirstLine() {
  QString text = QGuiApplication::clipboard()->text();
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
      text.truncate(i);
      break;
    }
  }
  if (!text.isEmpty() || hasSelectedText()) insert(text);
}

}  // namespace halvrenn::qt
