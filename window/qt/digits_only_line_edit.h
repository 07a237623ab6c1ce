#pragma once

#include <QLineEdit>

class QInputMethodEvent;
class QKeyEvent;

namespace halvrenn::qt {

// A line edit that refuses typed characters other than the ASCII digits, as a Windows edit
// control with ES_NUMBER does, also when an input method commits them. Editing keys and
// shortcuts work as usual, and pasted text is not filtered: no validator or input mask, which
// would filter the paste too.
class DigitsOnlyLineEdit final : public QLineEdit {
 public:
  explicit DigitsOnlyLineEdit(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
};

}  // namespace halvrenn::qt
