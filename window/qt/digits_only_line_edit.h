#pragma once

#include <QClipboard>
#include <QLineEdit>

class QContextMenuEvent;
class QDropEvent;
class QInputMethodEvent;
class QKeyEvent;
class QMouseEvent;

namespace halvrenn::qt {

// A line edit that refuses typed characters other than the ASCII digits, as a Windows edit
// control with ES_NUMBER does, whatever modifier is held and also when an input method commits
// them. Editing keys and shortcuts work as usual, and pasted text is not filtered: no validator or
// input mask, which would filter the paste too. Like the Windows edit control, every paste (the
// paste key, the context menu, a middle-click and a drop) stops at the first line break, so that
// a line copied with its end still reads as the number on it.
class DigitsOnlyLineEdit final : public QLineEdit {
 public:
  explicit DigitsOnlyLineEdit(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void PasteFirstLine(QClipboard::Mode mode = QClipboard::Clipboard);
};

}  // namespace halvrenn::qt
