#include "digits_only_line_edit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace halvrenn::qt {
namespace {

bool IsAsciiDigits(const QString& text) {
  for (const QChar character : text) {
    if (character < QLatin1Char('0') || character > QLatin1Char('9')) return false;
  }
  return true;
}

// A key that would insert printable text, as opposed to an editing key (Backspace, Delete,
// arrows, Home, End) or a shortcut held with Ctrl, Alt or Meta.
bool InsertsText(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = event.text();
  return !text.isEmpty() && text.front().isPrint();
}

}  // namespace

DigitsOnlyLineEdit::DigitsOnlyLineEdit(QWidget* parent) : QLineEdit(parent) {}

void DigitsOnlyLineEdit::keyPressEvent(QKeyEvent* event) {
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
  refused.setCommitString(QString(), event->replacementStart(), event->replacementLength());
  QLineEdit::inputMethodEvent(&refused);
}

}  // namespace halvrenn::qt
