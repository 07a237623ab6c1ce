// The Qt front with real widgets on the offscreen platform: typing and pasting as a user would,
// the focus, the layout from the table, and the outputs against dates computed in the test.

#include "window/qt/form1_widget.h"

#include <langinfo.h>

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDropEvent>
#include <QFont>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>

#include "form1_scenarios.h"
#include "reference.h"

namespace halvrenn::qt {
namespace {

using testing::ExpectedBiasMinutes;
using testing::ExpectedOutputs;
using testing::ExpectedOutputsFor;

constexpr const char* kInvalid = "Invalid";

class Form1WidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }

  QLineEdit* text(Form1Control c) const { return form.field(c); }
  std::string Text(Form1Control c) const { return text(c)->text().toStdString(); }
  void Type(const QString& keys) { QTest::keyClicks(text(Form1Control::Text1), keys); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(text(Form1Control::Text1), key, modifiers);
  }
  // The point just past the end of Text1's text, where a drop or a middle-click inserts.
  QPoint EndOfText1() const {
    return {text(Form1Control::Text1)->width() - 3, text(Form1Control::Text1)->height() / 2};
  }
  void PasteOverAll(const QString& clipboard) {
    QGuiApplication::clipboard()->setText(clipboard);
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_V, Qt::ControlModifier);
  }
  void ExpectOutputs(const std::string& a, const std::string& b, const std::string& c) {
    EXPECT_EQ(Text(Form1Control::Text2), a);
    EXPECT_EQ(Text(Form1Control::Text3), b);
    EXPECT_EQ(Text(Form1Control::Text4), c);
  }
  void ExpectOutputsFor(std::int64_t count) {
    const ExpectedOutputs expected = testing::ExpectedOutputsFor(count, ExpectedBiasMinutes());
    ExpectOutputs(expected.greenwich, expected.standard.value_or(kInvalid),
                  expected.daylight.value_or(kInvalid));
  }

  Form1Widget form;
};

TEST_F(Form1WidgetTest, IsBuiltFromTheTable) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Halvrenn"));
  EXPECT_EQ(form.size(), QSize(476, 238));
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window must not be resizable";
  for (std::size_t i = 0; i < Form1.controls.size(); ++i) {
    const ControlDescription& d = Form1.controls[i];
    SCOPED_TRACE(std::string(d.name));
    QWidget* widget = form.control(static_cast<Form1Control>(i));
    EXPECT_EQ(widget->geometry(), QRect(d.left / 15, d.top / 15, d.width / 15, d.height / 15));
    EXPECT_EQ(widget->objectName().toStdString(), d.name);
    if (d.kind == ControlKind::kLabel) {
      auto* label = qobject_cast<QLabel*>(widget);
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text().toStdString(), d.initial_text);
      EXPECT_TRUE(label->wordWrap());
      EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
      EXPECT_EQ(label->buddy(), form.control(static_cast<Form1Control>(i + 1)));
    } else {
      auto* field = qobject_cast<QLineEdit*>(widget);
      ASSERT_NE(field, nullptr);
      EXPECT_EQ(field->text().toStdString(), d.initial_text);
      EXPECT_FALSE(field->isReadOnly());
      if (d.max_length > 0) {
        EXPECT_EQ(field->maxLength(), d.max_length);
      }
    }
  }
}

TEST_F(Form1WidgetTest, OpensWithFocusInText1AndTabCyclesTheFields) {
  EXPECT_EQ(QApplication::focusWidget(), text(Form1Control::Text1));
  for (const Form1Control next :
       {Form1Control::Text2, Form1Control::Text3, Form1Control::Text4, Form1Control::Text1}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), text(next));
  }
  for (const Form1Control next :
       {Form1Control::Text4, Form1Control::Text3, Form1Control::Text2, Form1Control::Text1}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), text(next));
  }
}

// Keys of other keyboards (Arabic-Indic and fullwidth digits), an invisible right-to-left mark,
// and letters held with Alt, AltGr or Meta: all would insert text.
TEST_F(Form1WidgetTest, KeysOfOtherKeyboardsAndModifiersInsertNothing) {
  const struct {
    QString text;
    Qt::KeyboardModifiers modifiers;
  } keys[] = {
      {QStringLiteral("\u0661"), Qt::NoModifier},
      {QStringLiteral("\uFF11"), Qt::NoModifier},
      {QStringLiteral("\u200F"), Qt::NoModifier},
      {QStringLiteral("a"), Qt::AltModifier},
      {QStringLiteral("a"), Qt::MetaModifier},
      {QStringLiteral("@"), Qt::ControlModifier | Qt::AltModifier},
  };
  for (const auto& key : keys) {
    QKeyEvent press(QEvent::KeyPress, 0, key.modifiers, key.text);
    QApplication::sendEvent(text(Form1Control::Text1), &press);
  }
  EXPECT_EQ(Text(Form1Control::Text1), "");
  ExpectOutputs(kInvalid, kInvalid, kInvalid);
}

TEST_F(Form1WidgetTest, EditingKeysAndShortcutsKeepWorking) {
  Type(QStringLiteral("25569"));
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Text(Form1Control::Text1), "2556");
  ExpectOutputs(kInvalid, kInvalid, kInvalid);
  Key(Qt::Key_Z, Qt::ControlModifier);  // undo
  EXPECT_EQ(Text(Form1Control::Text1), "25569");
  ExpectOutputsFor(25569);
  Key(Qt::Key_Left);
  Key(Qt::Key_Left);
  Type(QStringLiteral("0"));
  EXPECT_EQ(Text(Form1Control::Text1), "255069");
  Key(Qt::Key_Home);
  Key(Qt::Key_Delete);
  EXPECT_EQ(Text(Form1Control::Text1), "55069");
  ExpectOutputsFor(55069);

  Key(Qt::Key_A, Qt::ControlModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("55069"));
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Text(Form1Control::Text1), "");
  ExpectOutputs(kInvalid, kInvalid, kInvalid);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Text(Form1Control::Text1), "55069");
  ExpectOutputsFor(55069);
}

TEST_F(Form1WidgetTest, InputMethodCommitsOnlyDigits) {
  Type(QStringLiteral("123"));
  QInputMethodEvent letters(QString(), {});
  letters.setCommitString(QStringLiteral("\u5341"), -2, 2);  // a Han numeral over the "23"
  QApplication::sendEvent(text(Form1Control::Text1), &letters);
  EXPECT_EQ(Text(Form1Control::Text1), "123");
  Key(Qt::Key_A, Qt::ControlModifier);
  Key(Qt::Key_Delete);
  QInputMethodEvent digits(QString(), {});
  digits.setCommitString(QStringLiteral("86400"));
  QApplication::sendEvent(text(Form1Control::Text1), &digits);
  EXPECT_EQ(Text(Form1Control::Text1), "86400");
  ExpectOutputsFor(86400);
}

// As in the Windows edit control, a paste stops at the first line break.
TEST_F(Form1WidgetTest, PasteStopsAtTheFirstLineBreak) {
  Type(QStringLiteral("25569"));
  PasteOverAll(QStringLiteral("86400\n"));
  EXPECT_EQ(Text(Form1Control::Text1), "86400");
  Key(Qt::Key_Z, Qt::ControlModifier);  // the paste is one undo step
  EXPECT_EQ(Text(Form1Control::Text1), "25569");
  for (const QString& clipboard :
       {QStringLiteral("86400\n"), QStringLiteral("86400\r\n99"), QStringLiteral("86400\r")}) {
    PasteOverAll(clipboard);
    EXPECT_EQ(Text(Form1Control::Text1), "86400");
    ExpectOutputsFor(86400);
  }
  Key(Qt::Key_End);
  QGuiApplication::clipboard()->setText(QStringLiteral("\n123"));
  Key(Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(Text(Form1Control::Text1), "86400");
}

// Ctrl held with a keypad key still carries the key's character, which must not get in either.
TEST_F(Form1WidgetTest, KeypadNonDigitsAreRefusedWhateverModifierIsHeld) {
  Type(QStringLiteral("25569"));
  for (const char key : {'+', '-', '.', '*', '/'}) {
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::KeypadModifier), Qt::ControlModifier | Qt::KeypadModifier,
          Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier}) {
      QTest::keyClick(text(Form1Control::Text1), key, modifiers);
    }
  }
  EXPECT_EQ(Text(Form1Control::Text1), "25569");
  ExpectOutputsFor(25569);
}

// Every way of pasting cuts alike: the first line, then as much of it as fits in ten characters.
const struct {
  const char* typed;
  const char* pasted;
  const char* result;
} kPastesAtTheEnd[] = {
    {"", "86400\n", "86400"},
    {"", "12a\r\n3", "12a"},
    {"25569", "123456789\n", "2556912345"},
    {"86400", "\n123", "86400"},
};

// Text dropped onto Text1 is a paste at the drop point.
TEST_F(Form1WidgetTest, DroppedTextIsPasted) {
  for (const auto& drop : kPastesAtTheEnd) {
    SCOPED_TRACE(::testing::PrintToString(std::string(drop.pasted)));
    PasteOverAll(QString::fromLatin1(drop.typed));
    QMimeData data;
    data.setText(QString::fromLatin1(drop.pasted));
    QDragEnterEvent enter(EndOfText1(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(text(Form1Control::Text1), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop_event(EndOfText1(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(text(Form1Control::Text1), &drop_event);
    EXPECT_TRUE(drop_event.isAccepted());
    EXPECT_EQ(Text(Form1Control::Text1), drop.result);
  }
  ExpectOutputsFor(86400);
}

// A middle-click pastes the selection at the click. Only platforms with a selection have it: the
// offscreen one has none, so a run on X (Xvfb) covers this.
TEST_F(Form1WidgetTest, MiddleClickPastesTheSelection) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->supportsSelection()) GTEST_SKIP() << "no selection on this platform";
  for (const auto& paste : kPastesAtTheEnd) {
    SCOPED_TRACE(::testing::PrintToString(std::string(paste.pasted)));
    PasteOverAll(QString::fromLatin1(paste.typed));
    clipboard->setText(QString::fromLatin1(paste.pasted), QClipboard::Selection);
    QTest::mouseClick(text(Form1Control::Text1), Qt::MiddleButton, Qt::NoModifier, EndOfText1());
    EXPECT_EQ(Text(Form1Control::Text1), paste.result);
  }
  ExpectOutputsFor(86400);
}

// Like the Windows edit control, an output shows the start of a text too wide for it; a large
// font makes every text too wide, whatever the locale. 2147483647 overflows the daylight output,
// which the dispatch then writes.
TEST_F(Form1WidgetTest, OutputsShowTheStartOfATextTooWideForThem) {
  const Form1Control outputs[] = {Form1Control::Text2, Form1Control::Text3, Form1Control::Text4};
  for (const Form1Control output : outputs) {
    QFont large = text(output)->font();
    large.setPixelSize(60);
    text(output)->setFont(large);
  }
  for (const char* count : {"1000000000", "2147483647"}) {
    PasteOverAll(QString::fromLatin1(count));
    for (const Form1Control output : outputs) {
      QLineEdit* field = text(output);
      SCOPED_TRACE(field->text().toStdString());
      ASSERT_GT(field->fontMetrics().horizontalAdvance(field->text()),
                field->contentsRect().width());
      static_cast<void>(field->grab());  // a line edit scrolls when it paints
      const QPoint left_edge(field->contentsRect().left() + 4, field->height() / 2);
      EXPECT_EQ(field->cursorPositionAt(left_edge), 0);
    }
  }
}

TEST_F(Form1WidgetTest, SavesAScreenshot) {
  Type(QStringLiteral("1000000000"));
  const QString path = QStringLiteral(HALVRENN_SCREENSHOT_DIR "/halvrenn-qt-offscreen.png");
  EXPECT_TRUE(form.grab().save(path)) << path.toStdString();
}

// The shared scenarios (form1_scenarios.h), through Qt's key events and the clipboard. The zone
// scenarios run once per zone and locale: TZ and LC_ALL for the whole run, the zone's Bias in
// HALVRENN_EXPECTED_BIAS.
class QtDriver final : public testing::Form1Driver {
 public:
  explicit QtDriver(Form1Widget& form) : form_(form) {}
  void Type(Form1Control field, std::string_view characters) override {
    QTest::keyClicks(
        form_.field(field),
        QString::fromLatin1(characters.data(), static_cast<qsizetype>(characters.size())));
  }
  void PasteOverText1(std::string_view text) override {
    QGuiApplication::clipboard()->setText(
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    QTest::keyClick(form_.field(Form1Control::Text1), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form_.field(Form1Control::Text1), Qt::Key_V, Qt::ControlModifier);
  }
  std::string Text(Form1Control field) const override {
    return form_.field(field)->text().toStdString();
  }
  bool StillRunning() const override { return form_.isVisible(); }

 private:
  Form1Widget& form_;
};

class QtForm1Scenario : public Form1WidgetTest,
                        public ::testing::WithParamInterface<testing::Form1Scenario> {};

TEST_P(QtForm1Scenario, Runs) {
  QtDriver driver(form);
  testing::RunForm1Scenario(GetParam(), driver);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, QtForm1Scenario, ::testing::ValuesIn(testing::Form1Scenarios()),
                         testing::Form1ScenarioName);

class QtForm1ZoneScenario : public QtForm1Scenario {};

TEST_P(QtForm1ZoneScenario, Runs) {
  QtDriver driver(form);
  testing::RunForm1Scenario(GetParam(), driver);
}

INSTANTIATE_TEST_SUITE_P(Zones, QtForm1ZoneScenario,
                         ::testing::ValuesIn(testing::Form1ZoneScenarios()),
                         testing::Form1ScenarioName);

class Form1WidgetZone : public Form1WidgetTest {};

TEST_F(Form1WidgetZone, QtStartSelectsTheUsersLocale) {
  const char* requested = std::getenv("LC_ALL");
  ASSERT_NE(requested, nullptr);
  const std::string in_effect = std::setlocale(LC_TIME, nullptr);
  // glibc names the locale as it was requested ("de_DE.UTF-8"), or C.UTF-8 as "C.UTF-8".
  EXPECT_EQ(in_effect, requested);
  const bool german = in_effect.starts_with("de_DE");
  EXPECT_STREQ(nl_langinfo(RADIXCHAR), german ? "," : ".");
  PasteOverAll(german ? QStringLiteral("25569,5") : QStringLiteral("25569.5"));
  ExpectOutputsFor(25570);  // a half rounds to the even second
}

}  // namespace
}  // namespace halvrenn::qt
