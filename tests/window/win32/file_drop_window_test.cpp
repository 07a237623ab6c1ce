// Files dropped on the real Win32 window, inside the test process under Wine: a real WM_DROPFILES
// with an HDROP built here, the real files converted on the worker, the real dialogs answered
// and read back by a timer, which runs inside their modal loops. The shared scenarios
// (drop_scenarios.h), and what only a window shows: the progress window beside Form1 while
// typing goes on, its keys, closing, a report of 50 files, and Open Folder.

#include "window/win32/file_drop_window.h"

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drop_scenarios.h"
#include "reference.h"
#include "time/utf16_text.h"
#include "window/win32/form1_window.h"

namespace halvrenn::win32 {
namespace {

namespace fs = std::filesystem;
using testing::Answer;
using testing::DropScenario;
using testing::ShownDrop;

constexpr int kTestIcon = 1;  // test_icon.rc

std::string PathText(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// A drop as the shell hands it over: DROPFILES followed by the wide paths, each ended by a zero,
// and one zero more. The window releases it with DragFinish.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::wstring list;
  for (const std::string& path : paths) list += Utf16FromUtf8(path) + L'\0';
  list += L'\0';
  const SIZE_T size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(list.begin(), list.end(),
            reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES)));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// Saves what the screen shows in `rect` as a BMP.
void SaveScreenshot(const RECT& rect, const std::string& path) {
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
  std::string pixels(row * static_cast<DWORD>(height), '\0');
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file{0x4D42,
                        static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()),
                        0, 0, sizeof(BITMAPFILEHEADER) + sizeof info};
  std::ofstream out(std::filesystem::path(Utf16FromUtf8(path)), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out << pixels;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

std::string WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  std::string utf8;
  for (const char c : Utf8FromUtf16(text)) {
    if (c != '\r') utf8 += c;
  }
  return utf8;
}

// A report dialog as the timer found it.
struct ShownReport {
  HWND dialog = nullptr;
  RECT rect{};
  DropReportKind kind = DropReportKind::kInformation;
  std::string totals{};
  std::string files{};
};

// The dialogs this thread shows, answered by a timer in their modal loops.
struct Dialogs {
  Answer answer = Answer::kSkip;
  std::string question;
  std::string message;
  std::vector<ShownReport> reports;
  // What is done with a report before it closes: by default nothing.
  std::function<void(const ShownReport&)> on_report;
};
Dialogs* dialogs = nullptr;

BOOL CALLBACK CollectStatics(HWND child, LPARAM texts) {
  wchar_t class_name[16] = {};
  GetClassNameW(child, class_name, 16);
  const std::string text = WindowText(child);
  if (std::wstring_view(class_name) == L"Static" && !text.empty()) {
    auto& joined = *reinterpret_cast<std::string*>(texts);
    if (!joined.empty()) joined += '\n';
    joined += text;
  }
  return TRUE;
}

HWND ButtonWithText(HWND dialog, const char* text) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (WindowText(child) == text) return child;
  }
  return nullptr;
}

BOOL CALLBACK AnswerDialog(HWND window, LPARAM) {
  wchar_t class_name[16] = {};
  GetClassNameW(window, class_name, 16);
  if (std::wstring_view(class_name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  if (HWND totals = GetDlgItem(window, FileDropWindow::kReportTotals)) {
    ShownReport report{window};
    GetWindowRect(window, &report.rect);
    const auto icon = reinterpret_cast<HICON>(
        SendDlgItemMessageW(window, FileDropWindow::kReportIcon, STM_GETICON, 0, 0));
    report.kind = icon == LoadIconW(nullptr, IDI_WARNING) ? DropReportKind::kWarning
                  : icon == LoadIconW(nullptr, IDI_ERROR) ? DropReportKind::kError
                                                          : DropReportKind::kInformation;
    report.totals = WindowText(totals);
    report.files = WindowText(GetDlgItem(window, FileDropWindow::kReportFiles));
    dialogs->reports.push_back(report);
    if (dialogs->on_report) dialogs->on_report(report);
    if (IsWindow(window)) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  } else if (HWND replace = ButtonWithText(window, "&Replace")) {
    EnumChildWindows(window, CollectStatics, reinterpret_cast<LPARAM>(&dialogs->question));
    SendMessageW(dialogs->answer == Answer::kReplace ? replace : ButtonWithText(window, "&Skip"),
                 BM_CLICK, 0, 0);
  } else if (HWND text = GetDlgItem(window, 0xFFFF)) {
    dialogs->message = WindowText(text);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  } else {
    return TRUE;
  }
  return FALSE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerDialog, 0);
}

void SendKeys(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (const WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto key = keys.end(); key != keys.begin();) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--key;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

class FileDropWindowTest : public ::testing::Test {
 public:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("halvrenn-drop-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    DropQuitMessages();
    ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), kTestIcon, SW_SHOWNORMAL));
    dialogs = &shown;
    timer = SetTimer(nullptr, 0, 20, OnTimer);
  }
  void TearDown() override {
    KillTimer(nullptr, timer);
    dialogs = nullptr;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  // A window destroyed before (another test's Form1) posts WM_QUIT, which would end every modal
  // loop at once: it is dropped.
  static void DropQuitMessages() {
    MSG quit{};
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  void Drop(const std::vector<std::string>& paths) {
    SendMessageW(form.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
  }

  // Runs the window's messages until `done`, or a minute.
  static bool PumpUntil(const std::function<bool()>& done) {
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (!done()) {
      if (GetTickCount64() > deadline) return false;
      MSG message{};
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      Sleep(5);
    }
    return true;
  }

  bool Reported(std::size_t count = 1) const { return shown.reports.size() >= count; }

  HWND Field(int index) const {
    HWND control = GetWindow(form.handle(), GW_CHILD);
    for (int i = 0; i < index; ++i) control = GetWindow(control, GW_HWNDNEXT);
    return control;
  }

  fs::path folder;
  Form1Window form;
  Dialogs shown;
  UINT_PTR timer = 0;
};

class Win32DropScenario : public FileDropWindowTest,
                          public ::testing::WithParamInterface<DropScenario> {};

TEST_P(Win32DropScenario, ShowsAndWritesWhatTheScenarioSays) {
  const DropScenario& scenario = GetParam();
  for (const fs::path& hidden : testing::MakeScenarioFiles(scenario, folder)) {
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }
  shown.answer = scenario.answer;
  Drop(testing::DroppedPaths(scenario, folder));
  ASSERT_TRUE(PumpUntil([this] { return Reported() || !shown.message.empty(); }));
  ShownDrop drop{shown.question, shown.message, Reported()};
  if (Reported()) {
    drop.kind = shown.reports.front().kind;
    drop.totals = shown.reports.front().totals;
    drop.files = shown.reports.front().files;
  }
  testing::ExpectScenarioOutcome(scenario, folder, drop);
  EXPECT_FALSE(form.file_drop().running());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Win32DropScenario,
                         ::testing::ValuesIn(testing::DropScenarios()), testing::ScenarioName);

struct FoundWindow {
  std::wstring title;
  HWND window = nullptr;
};

BOOL CALLBACK FindByTitle(HWND window, LPARAM lparam) {
  auto* found = reinterpret_cast<FoundWindow*>(lparam);
  wchar_t title[MAX_PATH] = {};
  GetWindowTextW(window, title, MAX_PATH);
  if (IsWindowVisible(window) && found->title == title) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

testing::Frame FrameOf(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// The driver of the window's own scenarios: each key pressed on the progress window as a user
// presses it, the reports read back and closed by the timer.
class Win32WindowDriver final : public testing::DropWindowDriver {
 public:
  explicit Win32WindowDriver(FileDropWindowTest& test) : test_(test) {}

  void Drop(const fs::path& path) override { test_.Drop({PathText(path)}); }
  bool WaitForProgress() override {
    return FileDropWindowTest::PumpUntil([this] {
      HWND progress = test_.form.file_drop().progress_window();
      HWND bar = progress != nullptr ? FindWindowExW(progress, nullptr, PROGRESS_CLASSW, nullptr)
                                     : nullptr;
      return bar != nullptr && IsWindowVisible(progress) && SendMessageW(bar, PBM_GETPOS, 0, 0) > 0;
    });
  }
  testing::Frame ProgressFrame() const override {
    return FrameOf(WindowRect(test_.form.file_drop().progress_window()));
  }
  testing::Frame WindowFrame() const override { return FrameOf(WindowRect(test_.form.handle())); }
  testing::Frame WorkArea() const override {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(test_.form.handle(), MONITOR_DEFAULTTONEAREST), &monitor);
    return FrameOf(monitor.rcWork);
  }
  void SaveScreenshot(const testing::Frame& frame, std::string_view name) const override {
    win32::SaveScreenshot({frame.left, frame.top, frame.right, frame.bottom},
                          HALVRENN_SCREENSHOT_DIR "/halvrenn-win32-" + std::string(name) + ".bmp");
  }
  void TypeIntoText1(std::string_view digits) override {
    // The focus stays in Text1 while the progress window shows.
    EXPECT_EQ(GetFocus(), test_.Field(1));
    for (const char digit : digits)
      SendMessageW(test_.Field(1), WM_CHAR, static_cast<unsigned char>(digit), 0);
  }
  std::string Text(Form1Control field) const override {
    return WindowText(test_.Field(field == Form1Control::Text2 ? 3 : 1));
  }
  bool Running() const override { return test_.form.file_drop().running(); }
  bool WindowOpen() const override { return IsWindow(test_.form.handle()) != 0; }
  std::vector<std::string_view> CancelKeys() const override {
    return {"Escape", "Enter", "Space", "Alt+F4"};
  }
  void PressOnProgress(std::string_view key) override {
    HWND progress = test_.form.file_drop().progress_window();
    SetForegroundWindow(progress);
    ASSERT_TRUE(
        FileDropWindowTest::PumpUntil([progress] { return GetForegroundWindow() == progress; }));
    SendKeys(key == "Escape"  ? std::vector<WORD>{VK_ESCAPE}
             : key == "Enter" ? std::vector<WORD>{VK_RETURN}
             : key == "Space" ? std::vector<WORD>{VK_SPACE}
                              : std::vector<WORD>{VK_MENU, VK_F4});
  }
  std::optional<testing::WindowReport> NextReport(std::string_view screenshot) override {
    const std::size_t count = ++reports_;
    test_.shown.on_report = [&](const ShownReport& report) {
      if (!screenshot.empty()) SaveScreenshot(FrameOf(report.rect), screenshot);
    };
    const bool shown =
        FileDropWindowTest::PumpUntil([this, count] { return test_.Reported(count); });
    test_.shown.on_report = nullptr;
    if (!shown) return std::nullopt;
    const ShownReport& report = test_.shown.reports[count - 1];
    return testing::WindowReport{FrameOf(report.rect), report.kind, report.totals, report.files};
  }
  void CloseWindow() override {
    SendMessageW(test_.form.handle(), WM_CLOSE, 0, 0);
    FileDropWindowTest::DropQuitMessages();
  }
  // The file manager is Wine's Explorer, a window titled by the folder; the folder cannot be
  // shown once it is gone, and a second run of the same file replaces its output.
  OpenedFolder ConvertAndOpenFolder(const fs::path& folder, std::string_view relative,
                                    bool can_open) override {
    OpenedFolder opened;
    const std::size_t count = ++reports_;
    test_.shown.answer = Answer::kReplace;
    test_.shown.on_report = [&](const ShownReport& report) {
      if (!can_open) fs::remove_all(folder / relative);
      SendMessageW(GetDlgItem(report.dialog, FileDropWindow::kReportOpenFolder), BM_CLICK, 0, 0);
      opened.report_stays = IsWindowVisible(report.dialog) != 0;
      if (IsWindow(report.dialog)) {
        opened.note = WindowText(GetDlgItem(report.dialog, FileDropWindow::kReportNote));
      }
    };
    const fs::path current = fs::current_path();
    fs::current_path(folder);
    test_.form.ConvertFiles({std::string(relative)});
    fs::current_path(current);
    EXPECT_TRUE(FileDropWindowTest::PumpUntil([this, count] { return test_.Reported(count); }));
    test_.shown.on_report = nullptr;
    if (can_open) {
      FoundWindow explorer{Utf16FromUtf8(std::string(relative))};
      if (FileDropWindowTest::PumpUntil([&] {
            EnumWindows(FindByTitle, reinterpret_cast<LPARAM>(&explorer));
            return explorer.window != nullptr;
          })) {
        opened.shown = std::string(relative);
        PostMessageW(explorer.window, WM_CLOSE, 0, 0);
      }
    }
    return opened;
  }
  std::string AsShown(const fs::path& folder) const override { return PathText(folder.filename()); }

 private:
  static RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
  }

  FileDropWindowTest& test_;
  std::size_t reports_ = 0;
};

TEST_F(FileDropWindowTest, ProgressSitsBesideFormTypingGoesOnAndKeysCancel) {
  Win32WindowDriver driver(*this);
  testing::RunProgressScenario(driver, folder);
}

TEST_F(FileDropWindowTest, ClosingTheWindowStopsTheConversionCleanly) {
  Win32WindowDriver driver(*this);
  testing::RunClosingScenario(driver, folder);
}

TEST_F(FileDropWindowTest, AReportOfFiftyFilesKeepsItsSize) {
  Win32WindowDriver driver(*this);
  testing::RunFiftyFilesScenario(driver, folder);
}

TEST_F(FileDropWindowTest, OpenFolderShowsTheOutputsFolderOrSaysWhyNot) {
  Win32WindowDriver driver(*this);
  for (const bool can_open : {true, false}) {
    SCOPED_TRACE(can_open);
    testing::RunOpenFolderScenario(driver, folder, can_open);
  }
}

}  // namespace
}  // namespace halvrenn::win32
