#include "running_halvrenn.h"

#include <cstdlib>
#include <cstring>

#include "time/utf16_text.h"

namespace halvrenn::testing {
namespace {

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindHalvrennWindow(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  wchar_t title[64] = {};
  SendMessageW(window, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(title));
  if (process_id == search->process_id && IsWindowVisible(window) &&
      std::wstring(title) == L"Halvrenn") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

}  // namespace

std::wstring HalvrennExePath() {
  const char* path = std::getenv("HALVRENN_EXE");
  return path == nullptr ? std::wstring() : Utf16FromUtf8(path);
}

RunningHalvrenn::RunningHalvrenn() {
  std::wstring command = L"\"" + HalvrennExePath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process_)) {
    return;
  }
  WaitForInputIdle(process_.hProcess, 20000);
  WindowSearch search{process_.dwProcessId, nullptr};
  for (int attempt = 0; attempt < 400 && search.found == nullptr; ++attempt) {
    EnumWindows(FindHalvrennWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(50);
  }
  window_ = search.found;
  if (window_ == nullptr) return;
  // Children come in z-order, which is the order the program created them in.
  for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (control_count_ < controls_.size()) controls_[control_count_] = child;
    ++control_count_;
  }
  SetForegroundWindow(window_);
}

RunningHalvrenn::~RunningHalvrenn() {
  if (process_.hProcess == nullptr) return;
  if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(process_.hProcess, 1);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool RunningHalvrenn::StillRunning() const {
  return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT && IsWindow(window_);
}

std::string RunningHalvrenn::Text(Form1Control c) const {
  wchar_t text[256] = {};
  const LRESULT length = SendMessageW(control(c), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return Utf8FromUtf16(std::wstring_view(text, static_cast<std::size_t>(length)));
}

void RunningHalvrenn::Type(const std::string& characters) {
  for (const char character : characters) {
    TypeInto(Form1Control::Text1, static_cast<wchar_t>(character));
  }
}

void RunningHalvrenn::TypeInto(Form1Control c, wchar_t character) {
  SendMessageW(control(c), WM_CHAR, character, 1);
}

void RunningHalvrenn::ReplaceText1ByPaste(const std::wstring& clipboard) {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    const std::size_t bytes = (clipboard.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(memory), clipboard.c_str(), bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
  }
  SendMessageW(control(Form1Control::Text1), EM_SETSEL, 0, -1);
  SendMessageW(control(Form1Control::Text1), WM_PASTE, 0, 0);
}

HWND RunningHalvrenn::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(process_.dwThreadId, &info);
  return info.hwndFocus;
}

void RunningHalvrenn::PressTab(bool shift) {
  SetForegroundWindow(window_);
  if (shift) SendKey(VK_SHIFT, false);
  SendKey(VK_TAB, false);
  SendKey(VK_TAB, true);
  if (shift) SendKey(VK_SHIFT, true);
  // The keys travel through the program's queue; a sent message returns after they are read.
  for (int i = 0; i < 5; ++i) {
    SendMessageW(window_, WM_NULL, 0, 0);
    Sleep(20);
  }
}

}  // namespace halvrenn::testing
