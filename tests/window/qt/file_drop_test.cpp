// Files dropped on the real Qt window through real drag-and-drop events: the shared scenarios
// (drop_scenarios.h) with their dialogs answered and read back, and what only a window shows:
// the progress dialog beside it while typing goes on, Escape, closing, a report of 50 files,
// Open Folder, and names that are not UTF-8.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "drop_scenarios.h"
#include "window/qt/drop_report_dialog.h"
#include "window/qt/file_drop_controller.h"
#include "window/qt/form1_widget.h"

namespace halvrenn::qt {
namespace {

namespace fs = std::filesystem;
using testing::Answer;
using testing::DropScenario;
using testing::ShownDrop;

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 60000) {
  for (int waited = 0; !condition(); waited += 10) {
    if (waited > milliseconds) return false;
    QTest::qWait(10);
  }
  return true;
}

QString Text(QAbstractButton* button) { return button->text().remove('&'); }

// The icon a report shows, told by comparing it with the style's message box icons.
DropReportKind ShownKind(const DropReportDialog& report) {
  const QImage shown = report.icon()->pixmap().toImage();
  const int size = report.icon()->pixmap().width();
  for (const auto& [kind, standard] :
       {std::pair{DropReportKind::kWarning, QStyle::SP_MessageBoxWarning},
        std::pair{DropReportKind::kError, QStyle::SP_MessageBoxCritical}}) {
    if (report.style()->standardIcon(standard).pixmap(size, size).toImage() == shown) return kind;
  }
  return DropReportKind::kInformation;
}

class FileDropTest : public ::testing::Test {
 public:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("halvrenn-drop-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  void TearDown() override {
    form.file_drop().CancelAndWait();
    if (DropReportDialog* report = form.file_drop().report()) report->close();
    fs::remove_all(folder);
  }

  // A real drag entering `target` and dropping the files on it.
  void Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPointF point(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
  }
  void Drop(QWidget* target, const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths)
      urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
    Drop(target, urls);
  }

  DropReportDialog* WaitForReport() {
    EXPECT_TRUE(WaitFor([this] { return form.file_drop().report() != nullptr; }));
    return form.file_drop().report();
  }

  Form1Widget form;
  fs::path folder;
};

class QtDropScenario : public FileDropTest, public ::testing::WithParamInterface<DropScenario> {};

// The driver: the files dropped on Text1 (where files are files, not a paste), the modal
// question and note answered from a timer, the report read back.
TEST_P(QtDropScenario, ShowsAndWritesWhatTheScenarioSays) {
  const DropScenario& scenario = GetParam();
  testing::MakeScenarioFiles(scenario, folder);
  ShownDrop shown;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    const QString text = box->text();
    if (box->informativeText().isEmpty()) {
      shown.message = text.toStdString();
      box->accept();
      return;
    }
    shown.question = (text + '\n' + box->informativeText()).toStdString();
    for (QAbstractButton* button : box->buttons()) {
      if (Text(button) == (scenario.answer == Answer::kReplace ? "Replace" : "Skip"))
        button->click();
    }
  });
  answerer.start(10);
  Drop(form.field(Form1Control::Text1), testing::DroppedPaths(scenario, folder));
  ASSERT_TRUE(
      WaitFor([&] { return form.file_drop().report() != nullptr || !shown.message.empty(); }));
  EXPECT_EQ(form.field(Form1Control::Text1)->text(), QString());
  if (DropReportDialog* report = form.file_drop().report()) {
    shown.reported = true;
    shown.kind = ShownKind(*report);
    shown.totals = report->totals()->text().toStdString();
    shown.files = report->files()->toPlainText().toStdString();
  }
  testing::ExpectScenarioOutcome(scenario, folder, shown);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, QtDropScenario, ::testing::ValuesIn(testing::DropScenarios()),
                         testing::ScenarioName);

testing::Frame FrameOf(const QRect& rect) {
  return {rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
}

// The driver of the window's own scenarios: the files dropped on the window, Escape on the
// progress dialog, the report read back and closed.
class QtWindowDriver final : public testing::DropWindowDriver {
 public:
  QtWindowDriver(FileDropTest& test, Form1Widget& form) : test_(test), form_(form) {}

  void Drop(const fs::path& path) override {
    test_.Drop(&form_, std::vector<std::string>{path.string()});
  }
  bool WaitForProgress() override {
    return WaitFor([this] {
      const QProgressDialog* progress = form_.file_drop().progress_dialog();
      return progress != nullptr && progress->isVisible() && progress->value() > 0;
    });
  }
  testing::Frame ProgressFrame() const override {
    return FrameOf(form_.file_drop().progress_dialog()->frameGeometry());
  }
  testing::Frame WindowFrame() const override { return FrameOf(form_.frameGeometry()); }
  testing::Frame WorkArea() const override { return FrameOf(form_.screen()->availableGeometry()); }
  void SaveScreenshot(const testing::Frame& frame, std::string_view name) const override {
    EXPECT_TRUE(form_.screen()
                    ->grabWindow(0, frame.left, frame.top, frame.right - frame.left,
                                 frame.bottom - frame.top)
                    .save(QStringLiteral(HALVRENN_SCREENSHOT_DIR "/halvrenn-qt-%1.png")
                              .arg(QString::fromUtf8(name.data(), static_cast<int>(name.size())))));
  }
  void TypeIntoText1(std::string_view digits) override {
    QTest::keyClicks(form_.field(Form1Control::Text1), QString::fromStdString(std::string(digits)));
  }
  std::string Text(Form1Control field) const override {
    return form_.field(field)->text().toStdString();
  }
  bool Running() const override { return form_.file_drop().running(); }
  bool WindowOpen() const override { return form_.isVisible(); }
  std::vector<std::string_view> CancelKeys() const override { return {"Escape"}; }
  void PressOnProgress(std::string_view /*key: Escape*/) override {
    QTest::keyClick(form_.file_drop().progress_dialog(), Qt::Key_Escape);
  }
  std::optional<testing::WindowReport> NextReport(std::string_view screenshot) override {
    DropReportDialog* report = test_.WaitForReport();
    if (report == nullptr || !QTest::qWaitForWindowExposed(report)) return std::nullopt;
    testing::WindowReport shown{FrameOf(report->frameGeometry()), ShownKind(*report),
                                report->totals()->text().toStdString(),
                                report->files()->toPlainText().toStdString()};
    // Its buttons in view, however many files it lists.
    for (QPushButton* button : report->findChildren<QPushButton*>()) {
      EXPECT_TRUE(report->rect().contains(QRect(button->mapTo(report, QPoint()), button->size())));
    }
    if (!screenshot.empty()) SaveScreenshot(shown.frame, screenshot);
    report->close();
    EXPECT_TRUE(WaitFor([this] { return form_.file_drop().report() == nullptr; }));
    return shown;
  }
  void CloseWindow() override { form_.close(); }
  // The desktop's opener is a stand-in on PATH that notes what it was given, or none at all.
  OpenedFolder ConvertAndOpenFolder(const fs::path& folder, std::string_view relative,
                                    bool can_open) override {
    const fs::path bin = folder / "bin";
    const fs::path opened = folder / "opened.txt";
    fs::create_directories(bin);
    if (can_open) {
      std::ofstream(bin / "xdg-open")
          << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << "'\n";
      fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    }
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", bin.c_str(), 1);
    const fs::path current = fs::current_path();
    fs::current_path(folder);
    form_.ConvertFiles({std::string(relative)});
    fs::current_path(current);
    DropReportDialog* report = test_.WaitForReport();
    if (report != nullptr && report->open_folder() != nullptr) report->open_folder()->click();
    setenv("PATH", path.c_str(), 1);
    OpenedFolder result;
    if (can_open && WaitFor([&] { return fs::exists(opened) && fs::file_size(opened) > 0; })) {
      std::ifstream file(opened);
      result.shown.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    report = form_.file_drop().report();
    if (report != nullptr) result.note = report->note()->text().toStdString();
    result.report_stays = can_open
                              ? !WaitFor([this] { return form_.file_drop().report() == nullptr; })
                              : report != nullptr && report->isVisible();
    return result;
  }
  std::string AsShown(const fs::path& folder) const override { return "file://" + folder.string(); }

 private:
  FileDropTest& test_;
  Form1Widget& form_;
};

TEST_F(FileDropTest, ProgressSitsBesideTheWindowTypingGoesOnAndEscapeCancels) {
  QtWindowDriver driver(*this, form);
  testing::RunProgressScenario(driver, folder);
}

TEST_F(FileDropTest, ClosingTheWindowStopsTheConversionCleanly) {
  QtWindowDriver driver(*this, form);
  testing::RunClosingScenario(driver, folder);
}

TEST_F(FileDropTest, AReportOfFiftyFilesKeepsItsSize) {
  QtWindowDriver driver(*this, form);
  testing::RunFiftyFilesScenario(driver, folder);
}

// Qt looks for the desktop's opener once per process, so each case runs in a process of its own
// (on X: the offscreen platform has no desktop services).
class OpenFolder : public FileDropTest {};

TEST_F(OpenFolder, OpensTheOutputsFolder) {
  QtWindowDriver driver(*this, form);
  testing::RunOpenFolderScenario(driver, folder, true);
}

TEST_F(OpenFolder, SaysWhyNotAndStays) {
  QtWindowDriver driver(*this, form);
  testing::RunOpenFolderScenario(driver, folder, false);
}

// A name in Latin-1 in a UTF-8 locale, dropped as a file manager encodes it: converted beside
// itself under its own bytes.
TEST_F(FileDropTest, NamesThatAreNotUtf8AreConverted) {
  testing::MakeCallFiles(folder, 1);
  const std::string latin1 = (folder / "caf\xe9.csv").string();
  fs::rename(folder / "cdr_Cluster1_01_202612070910_1", latin1);
  QList<QUrl> urls{
      QUrl::fromEncoded("file://" + QByteArray::fromStdString(latin1).toPercentEncoding("/"))};
  Drop(&form, urls);
  ASSERT_NE(WaitForReport(), nullptr);
  EXPECT_TRUE(fs::exists(folder / "caf\xe9.converted.csv"));
}

}  // namespace
}  // namespace halvrenn::qt
