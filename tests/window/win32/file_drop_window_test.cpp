// Files dropped on the real Win32 window, inside the test process under Wine: a real WM_DROPFILES
// with an HDROP built here, the real files converted on the worker, the progress window, Cancel,
// the question about existing outputs and the report. Message boxes are answered by a timer,
// which runs inside their modal loops. The run's zone is Greenwich (TZ=Etc/UTC).

#include "file_drop_window.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "form1_window.h"
#include "reference.h"
#include "utf16_text.h"

namespace halvrenn::win32 {
namespace {

constexpr int kTestIcon = 1;  // test_icon.rc
constexpr const char* kHeader =
    "cdrRecordType,globalCallID_callId,dateTimeOrigination,callingPartyNumber,dateTimeConnect\r\n"
    "INTEGER,INTEGER,INTEGER,VARCHAR(50),INTEGER\r\n";

std::string Iso(std::int64_t count) {
  const testing::ReferenceDateTime t = testing::ReferenceCalendar(count);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// A record, and what the default conversion appends to it at Greenwich: Greenwich and local
// time alike for each stamp, nothing for 0.
std::string Record(int id, std::int64_t origination, std::int64_t connect, bool converted) {
  std::string record = "1," + std::to_string(id) + "," + std::to_string(origination) +
                       ",\"+1 555, " + std::to_string(id) + "\"," + std::to_string(connect);
  if (converted) {
    for (const std::int64_t count : {origination, connect}) {
      const std::string text = count == 0 ? std::string() : Iso(count);
      record += ',';
      record += text;
      record += ',';
      record += text;
    }
  }
  return record + "\r\n";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(std::filesystem::path(Utf16FromUtf8(path)), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(Utf16FromUtf8(path)), std::ios::binary) << bytes;
}

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(Utf16FromUtf8(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Utf8FromUtf16(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
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

// Saves what a window shows, from the screen, as a BMP.
void SaveScreenshot(HWND window, const std::string& path) {
  RECT rect{};
  GetWindowRect(window, &rect);
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

// The message boxes this thread shows, answered by a timer in their modal loop.
// The icon control of a message box: 20 on Windows, 1088 in Wine's template.
const int kIconControl = [] {
  const HMODULE wine = GetModuleHandleW(L"ntdll.dll");
  return wine != nullptr && GetProcAddress(wine, "wine_get_version") != nullptr ? 1088 : 20;
}();

struct MessageBoxes {
  std::vector<std::string> texts;
  std::vector<HICON> icons;                       // each box's, from its icon control
  std::function<int(const std::string&)> answer;  // the button to press for a text
  std::string screenshot;                         // where to save the first report, if anywhere
};
MessageBoxes* boxes = nullptr;

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
  wchar_t class_name[16] = {};
  GetClassNameW(window, class_name, 16);
  if (std::wstring_view(class_name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  wchar_t text[4096] = {};
  GetDlgItemTextW(window, 0xFFFF, text, 4096);
  boxes->texts.push_back(Utf8FromUtf16(text));
  boxes->icons.push_back(
      reinterpret_cast<HICON>(SendDlgItemMessageW(window, kIconControl, STM_GETICON, 0, 0)));
  if (!boxes->screenshot.empty() && boxes->texts.back().starts_with("Converted")) {
    SaveScreenshot(window, boxes->screenshot);
    boxes->screenshot.clear();
  }
  PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(boxes->answer(boxes->texts.back())), 0);
  return FALSE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

class FileDropWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder = Utf8FromUtf16(temp) + "halvrenn-drop-" + std::to_string(GetCurrentProcessId()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryW(Utf16FromUtf8(folder).c_str(), nullptr);
    DropQuitMessages();
    ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), kTestIcon, SW_SHOWNORMAL));
    boxes = &answered;
    answered.answer = [](const std::string&) { return IDNO; };
    timer = SetTimer(nullptr, 0, 20, OnTimer);
  }
  void TearDown() override {
    KillTimer(nullptr, timer);
    boxes = nullptr;
    for (const std::string& name : FolderListing(folder)) {
      DeleteFileW(Utf16FromUtf8(folder + "\\" + name).c_str());
    }
    RemoveDirectoryW(Utf16FromUtf8(folder).c_str());
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
  bool PumpUntil(const std::function<bool()>& done) {
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

  bool Reported() {
    return std::any_of(answered.texts.begin(), answered.texts.end(),
                       [](const std::string& text) { return text.starts_with("Converted"); });
  }

  std::string BigFile() {
    std::string records;
    for (int id = 0; id < 4000; ++id)
      records += Record(id, 1700000000 + id, 1700000005 + id, false);
    const std::string path = folder + "\\big.csv";
    std::ofstream file(std::filesystem::path(Utf16FromUtf8(path)), std::ios::binary);
    file << kHeader;
    for (int block = 0; block < 300; ++block) file << records;  // about 80 MB
    return path;
  }

  std::string folder;
  Form1Window form;
  MessageBoxes answered;
  UINT_PTR timer = 0;
};

TEST_F(FileDropWindowTest, DroppedFilesAreConvertedAndReported) {
  const std::string input = std::string(kHeader) + Record(1, 1796619600, 1796619605, false) +
                            Record(2, 4294967295, 0, false);
  const std::string expected =
      Record(1, 1796619600, 1796619605, true) + Record(2, 4294967295, 0, true);
  WriteFile(folder + "\\calls.csv", input);
  WriteFile(folder + "\\cdr_Cluster1_01_202612070915_1", input);
  answered.screenshot = HALVRENN_SCREENSHOT_DIR "/halvrenn-win32-drop-report.bmp";

  Drop({folder + "\\calls.csv", folder + "\\cdr_Cluster1_01_202612070915_1",
        folder + "\\missing.csv"});
  ASSERT_TRUE(PumpUntil([this] { return Reported(); }));

  for (const char* name :
       {"\\calls.converted.csv", "\\cdr_Cluster1_01_202612070915_1.converted.csv"}) {
    const std::string converted = ReadFile(folder + name);
    ASSERT_GT(converted.size(), expected.size()) << name;
    EXPECT_EQ(converted.substr(converted.size() - expected.size()), expected) << name;
  }
  const std::string& report = answered.texts.back();
  EXPECT_NE(report.find("Converted 2 of 3 files."), std::string::npos) << report;
  EXPECT_NE(report.find("calls.csv: 2 records, 3 converted, 1 empty, 0 rejected, 0 malformed"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("missing.csv"), std::string::npos) << report;
  EXPECT_EQ(answered.icons.back(), LoadIconW(nullptr, IDI_WARNING));  // a file failed
  EXPECT_NE(report.find("Open the folder"), std::string::npos) << report;
  EXPECT_FALSE(form.file_drop().running());
}

TEST_F(FileDropWindowTest, ProgressShowsWhileTypingGoesOnAndCancelLeavesNoOutput) {
  const std::string big = BigFile();
  Drop({big});
  ASSERT_TRUE(PumpUntil([this] {
    HWND progress = form.file_drop().progress_window();
    HWND bar =
        progress != nullptr ? FindWindowExW(progress, nullptr, PROGRESS_CLASSW, nullptr) : nullptr;
    return bar != nullptr && SendMessageW(bar, PBM_GETPOS, 0, 0) > 0;
  }));
  HWND progress = form.file_drop().progress_window();
  ASSERT_TRUE(IsWindowVisible(progress));
  SaveScreenshot(progress, HALVRENN_SCREENSHOT_DIR "/halvrenn-win32-drop-progress.bmp");

  // The window answers while the worker converts: typing into Text1 fills Text2.
  HWND text1 = GetWindow(GetWindow(form.handle(), GW_CHILD), GW_HWNDNEXT);
  HWND text2 = GetWindow(GetWindow(text1, GW_HWNDNEXT), GW_HWNDNEXT);
  for (const wchar_t digit : std::wstring(L"86400")) SendMessageW(text1, WM_CHAR, digit, 0);
  wchar_t shown[64] = {};
  GetWindowTextW(text2, shown, 64);
  EXPECT_EQ(Utf8FromUtf16(shown), testing::ExpectedDateText(86400));
  ASSERT_TRUE(form.file_drop().running());

  SendMessageW(FindWindowExW(progress, nullptr, L"Button", nullptr), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([this] { return Reported(); }));
  EXPECT_NE(answered.texts.back().find("cancelled"), std::string::npos) << answered.texts.back();
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"big.csv"});
}

TEST_F(FileDropWindowTest, ClosingTheWindowStopsTheConversionCleanly) {
  const std::string big = BigFile();
  Drop({big});
  ASSERT_TRUE(PumpUntil([this] { return form.file_drop().progress_window() != nullptr; }));
  // As the window system's close command does.
  SendMessageW(form.handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(form.handle()));
  DropQuitMessages();
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"big.csv"});
}

TEST_F(FileDropWindowTest, ExistingOutputsAreAskedAboutOnce) {
  const std::string input = std::string(kHeader) + Record(1, 1796619600, 0, false);
  for (const char* name : {"\\a.csv", "\\b.csv", "\\c.csv"}) WriteFile(folder + name, input);
  WriteFile(folder + "\\a.converted.csv", "kept a");
  WriteFile(folder + "\\b.converted.csv", "kept b");

  Drop({folder});  // No: skip those files
  ASSERT_TRUE(PumpUntil([this] { return Reported(); }));
  const auto questions =
      std::count_if(answered.texts.begin(), answered.texts.end(),
                    [](const std::string& t) { return t.find("Replace") != std::string::npos; });
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(ReadFile(folder + "\\a.converted.csv"), "kept a");
  EXPECT_EQ(ReadFile(folder + "\\b.converted.csv"), "kept b");
  EXPECT_TRUE(ReadFile(folder + "\\c.converted.csv").starts_with("cdrRecordType"));
  EXPECT_NE(answered.texts.back().find("a.csv: skipped"), std::string::npos);
}

}  // namespace
}  // namespace halvrenn::win32
