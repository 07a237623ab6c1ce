// Files dropped on the real Qt window through real drag-and-drop events: converted on the worker
// into real files, with the progress dialog, Cancel, the question about existing outputs and the
// report. The expected texts come from the C library (gmtime_r, localtime_r) in the run's TZ.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "file_drop_controller.h"
#include "form1_widget.h"

namespace halvrenn::qt {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader =
    "\"cdrRecordType\",\"globalCallID_callId\",\"dateTimeOrigination\",\"callingPartyNumber\","
    "\"dateTimeConnect\",\"dateTimeDisconnect\"\r\n"
    "INTEGER,INTEGER,INTEGER,VARCHAR(50),INTEGER,INTEGER\r\n";

std::string Formatted(std::time_t count, bool local) {
  std::tm fields{};
  if (local) {
    localtime_r(&count, &fields);
  } else {
    gmtime_r(&count, &fields);
  }
  char text[32];
  return {text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields)};
}

// One record, and the same record as converted by default: Greenwich and local time for each of
// its three time stamps, nothing for 0.
struct Record {
  std::string in;
  std::string out;
};

Record MakeRecord(int id, std::time_t origination, std::time_t connect, std::time_t disconnect) {
  std::string in = "1," + std::to_string(id) + "," + std::to_string(origination) +
                   ",\"+1 555, ext " + std::to_string(id) + "\"," + std::to_string(connect) + "," +
                   std::to_string(disconnect);
  std::string out = in;
  for (const std::time_t count : {origination, connect, disconnect}) {
    out += ',';
    if (count != 0) out += Formatted(count, false);
    out += ',';
    if (count != 0) out += Formatted(count, true);
  }
  return {in + "\r\n", out + "\r\n"};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The data records of a converted file: all but the header and the type row.
std::string DataRecords(const std::string& converted) {
  std::size_t at = 0;
  for (int line = 0; line < 2 && at != std::string::npos; ++line) at = converted.find('\n', at) + 1;
  return converted.substr(at);
}

std::vector<std::string> FolderListing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 60000) {
  for (int waited = 0; !condition(); waited += 10) {
    if (waited > milliseconds) return false;
    QTest::qWait(10);
  }
  return true;
}

class FileDropTest : public ::testing::Test {
 protected:
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
    fs::remove_all(folder);
  }

  // A real drag entering `target` and dropping the files on it.
  void Drop(QWidget* target, const std::vector<fs::path>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const fs::path& path : paths)
      urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
    const QPointF point(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
  }

  QMessageBox* WaitForReport() {
    EXPECT_TRUE(WaitFor([this] { return form.file_drop().report() != nullptr; }));
    return form.file_drop().report();
  }

  // A file big enough that a conversion of it is still running when the test acts.
  fs::path BigFile() {
    const fs::path path = folder / "big.csv";
    std::string bytes = kHeader;
    std::string records;
    for (int id = 0; id < 4000; ++id) {
      records += MakeRecord(id, 1700000000 + id, 1700000005 + id, 1700000100 + id).in;
    }
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    for (int block = 0; block < 100; ++block) file << records;  // about 30 MB
    return path;
  }

  std::string Text1() const { return form.field(Form1Control::Text1)->text().toStdString(); }

  Form1Widget form;
  fs::path folder;
};

TEST_F(FileDropTest, DroppedFilesAndFoldersAreConvertedAndReported) {
  const std::vector<Record> records = {MakeRecord(1, 1796619600, 1796619605, 1796619700),
                                       MakeRecord(2, 1783000000, 0, 1783000100),
                                       MakeRecord(3, 4294967295, 4102444800, 4294967295)};
  std::string input = kHeader, expected;
  for (const Record& record : records) {
    input += record.in;
    expected += record.out;
  }
  fs::create_directories(folder / "night" / "older");
  WriteFile(folder / "calls.csv", input);
  WriteFile(folder / "night" / "cdr_Cluster1_01_202612070915_1", input);
  WriteFile(folder / "night" / "older" / "not_dropped.csv", input);
  WriteFile(folder / "plain.csv", "name,count\r\nx,1\r\n");

  // Dropped on Text1, files are files, not a paste.
  Drop(form.field(Form1Control::Text1),
       {folder / "calls.csv", folder / "night", folder / "plain.csv", folder / "missing.csv"});
  QMessageBox* report = WaitForReport();
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(Text1(), "");

  EXPECT_EQ(DataRecords(ReadFile(folder / "calls.converted.csv")), expected);
  EXPECT_EQ(
      DataRecords(ReadFile(folder / "night" / "cdr_Cluster1_01_202612070915_1.converted.csv")),
      expected);
  EXPECT_FALSE(fs::exists(folder / "night" / "older" / "not_dropped.converted.csv"));

  const std::string text = report->text().toStdString();
  EXPECT_NE(text.find("Converted 2 of 4 files."), std::string::npos) << text;
  EXPECT_NE(text.find("calls.csv: 3 records, 8 converted, 1 empty, 0 rejected, 0 malformed"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find((folder / "calls.converted.csv").string()), std::string::npos) << text;
  EXPECT_NE(text.find("plain.csv: no time-stamp column"), std::string::npos) << text;
  EXPECT_NE(text.find("missing.csv"), std::string::npos) << text;
  EXPECT_EQ(report->icon(), QMessageBox::Warning);  // a file failed
  bool has_open_folder = false;
  for (QAbstractButton* button : report->buttons()) {
    has_open_folder |= button->text().contains(QStringLiteral("Open Folder"));
  }
  EXPECT_TRUE(has_open_folder);
  EXPECT_TRUE(
      report->grab().save(QStringLiteral(HALVRENN_SCREENSHOT_DIR "/halvrenn-qt-drop-report.png")));
}

TEST_F(FileDropTest, ProgressShowsWhileTypingGoesOnAndCancelLeavesNoOutput) {
  const fs::path big = BigFile();
  Drop(&form, {big});
  QProgressDialog* progress = form.file_drop().progress_dialog();
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(WaitFor([progress] { return progress->isVisible() && progress->value() > 0; }));
  EXPECT_TRUE(progress->grab().save(
      QStringLiteral(HALVRENN_SCREENSHOT_DIR "/halvrenn-qt-drop-progress.png")));

  // The window answers while the worker converts.
  QTest::keyClicks(form.field(Form1Control::Text1), QStringLiteral("86400"));
  EXPECT_EQ(form.field(Form1Control::Text2)->text().toStdString(), "1970-01-02");
  ASSERT_TRUE(form.file_drop().running());

  QPushButton* cancel = progress->findChild<QPushButton*>();
  ASSERT_NE(cancel, nullptr);
  QTest::mouseClick(cancel, Qt::LeftButton);
  QMessageBox* report = WaitForReport();
  ASSERT_NE(report, nullptr);
  EXPECT_NE(report->text().indexOf(QStringLiteral("cancelled")), -1);
  EXPECT_EQ(report->icon(), QMessageBox::Critical);  // nothing converted
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"big.csv"});
}

TEST_F(FileDropTest, ClosingTheWindowStopsTheConversionCleanly) {
  const fs::path big = BigFile();
  Drop(&form, {big});
  QProgressDialog* progress = form.file_drop().progress_dialog();
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(WaitFor([progress] { return progress->value() > 0; }));
  form.close();
  EXPECT_FALSE(form.file_drop().running());
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"big.csv"});
}

TEST_F(FileDropTest, ExistingOutputsAreAskedAboutOnceForTheWholeDrop) {
  const std::string input = std::string(kHeader) + MakeRecord(1, 1796619600, 0, 0).in;
  for (const char* name : {"a.csv", "b.csv", "c.csv"}) WriteFile(folder / name, input);
  WriteFile(folder / "a.converted.csv", "kept a");
  WriteFile(folder / "b.converted.csv", "kept b");

  // The question is modal: the answer comes from a timer while it waits.
  int questions = 0;
  const auto answer = [&questions](const QString& button) {
    QTimer::singleShot(0, [&questions, button] {
      auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (question == nullptr) return;
      ++questions;
      for (QAbstractButton* each : question->buttons()) {
        if (each->text().remove('&') == button) each->click();
      }
    });
  };
  answer(QStringLiteral("Skip"));
  Drop(&form, {folder});
  ASSERT_NE(WaitForReport(), nullptr);
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(ReadFile(folder / "a.converted.csv"), "kept a");
  EXPECT_EQ(ReadFile(folder / "b.converted.csv"), "kept b");
  EXPECT_TRUE(fs::exists(folder / "c.converted.csv"));
  EXPECT_NE(form.file_drop().report()->text().indexOf(QStringLiteral("a.csv: skipped")), -1);

  answer(QStringLiteral("Replace"));
  Drop(&form, {folder / "a.csv"});
  ASSERT_NE(WaitForReport(), nullptr);
  EXPECT_EQ(questions, 2);
  EXPECT_EQ(ReadFile(folder / "a.converted.csv"), ReadFile(folder / "c.converted.csv"));
}

}  // namespace
}  // namespace halvrenn::qt
