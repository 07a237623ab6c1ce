#include "file_drop_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "byte_streams.h"
#include "utf16_text.h"

namespace halvrenn::win32 {
namespace {

constexpr wchar_t kProgressClass[] = L"Halvrenn.FileDropProgress";
constexpr wchar_t kTitle[] = L"Halvrenn";
constexpr int kCancelId = IDCANCEL;

int MessageBoxUtf8(HWND owner, const std::string& text, UINT type) {
  return MessageBoxW(owner, Utf16FromUtf8(text).c_str(), kTitle, type);
}

// Whether existing outputs are replaced: asked once for the whole drop. No keeps them.
bool AskReplace(HWND owner, std::size_t existing) {
  const std::string what =
      existing == 1
          ? std::string("The converted file of one dropped file already exists.")
          : "The converted files of " + std::to_string(existing) + " dropped files already exist.";
  return MessageBoxUtf8(owner, what + "\n\nReplace them? No skips those files.",
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

FileDropWindow::~FileDropWindow() {
  CancelAndWait();
  if (font_ != nullptr) DeleteObject(font_);
}

void FileDropWindow::Convert(const std::vector<std::string>& dropped) {
  if (job_) {
    MessageBoxUtf8(owner_, "Files are being converted. Drop these again when that has finished.",
                   MB_OK | MB_ICONINFORMATION);
    return;
  }
  const std::vector<std::string> files = FilesOfDrop(dropped);
  if (files.empty()) {
    MessageBoxUtf8(owner_, "The dropped folders hold no files to convert.",
                   MB_OK | MB_ICONINFORMATION);
    return;
  }
  const std::size_t existing = FilesWithExistingOutput(files).size();
  const bool replace = existing > 0 && AskReplace(owner_, existing);

  CreateProgressWindow();
  {
    const std::lock_guard lock(latest_mutex_);
    latest_ = DropProgress{0, files.size(), files.front(), 0};
  }
  OnProgressPosted();
  HWND owner = owner_;
  job_ = std::make_unique<FileDropJob>(
      files, replace,
      [this, owner](const DropProgress& progress) {
        {
          const std::lock_guard lock(latest_mutex_);
          latest_ = progress;
        }
        // One message on its way at a time: the window reads the latest when it comes.
        if (!progress_posted_.exchange(true)) PostMessageW(owner, kProgressMessage, 0, 0);
      },
      [owner] { PostMessageW(owner, kFinishedMessage, 0, 0); });
}

void FileDropWindow::CancelAndWait() {
  job_.reset();
  CloseProgressWindow();
}

void FileDropWindow::OnProgressPosted() {
  progress_posted_.store(false);
  if (progress_ == nullptr) return;
  DropProgress progress;
  {
    const std::lock_guard lock(latest_mutex_);
    progress = latest_;
  }
  const std::string label = "Converting " + cdr::FileNameOf(progress.file) + " (" +
                            std::to_string(progress.file_index + 1) + " of " +
                            std::to_string(progress.file_count) + ")";
  SetWindowTextW(label_, Utf16FromUtf8(label).c_str());
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(progress.percent), 0);
}

void FileDropWindow::OnFinishedPosted() {
  if (!job_) return;
  const std::unique_ptr<FileDropJob> job = std::move(job_);
  CloseProgressWindow();
  const std::vector<DroppedFile>& outcomes = job->Outcomes();
  const std::string report = DropReportText(outcomes);
  const std::optional<std::string> folder = FolderOfOutputs(outcomes);
  const DropReportKind kind = DropReportKindOf(outcomes);
  const UINT icon = kind == DropReportKind::kError     ? MB_ICONERROR
                    : kind == DropReportKind::kWarning ? MB_ICONWARNING
                                                       : MB_ICONINFORMATION;
  if (!folder) {
    MessageBoxUtf8(owner_, report, MB_OK | icon);
    return;
  }
  if (MessageBoxUtf8(owner_, report + "\n\nOpen the folder that holds the outputs?",
                     MB_YESNO | icon) == IDYES) {
    ShellExecuteW(owner_, L"open", Utf16FromUtf8(*folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

// A small owned window, not a modal dialog: the owner stays enabled, so Text1 takes typing.
void FileDropWindow::CreateProgressWindow() {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner_, GWLP_HINSTANCE));
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = ProgressProcedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kProgressClass;
  RegisterClassExW(&window_class);  // fails harmlessly when already registered

  const UINT dpi = GetDpiForWindow(owner_);
  const auto scale = [dpi](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), 96); };
  constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, scale(360), scale(104)};
  AdjustWindowRectExForDpi(&frame, kStyle, FALSE, WS_EX_DLGMODALFRAME, dpi);
  RECT owner_rect{};
  GetWindowRect(owner_, &owner_rect);
  progress_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressClass, kTitle, kStyle,
                              owner_rect.left + scale(40), owner_rect.top + scale(60),
                              frame.right - frame.left, frame.bottom - frame.top, owner_, nullptr,
                              instance, this);
  if (progress_ == nullptr) return;
  label_ = CreateWindowExW(
      0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, scale(12),
      scale(12), scale(336), scale(20), progress_, nullptr, instance, nullptr);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, scale(12), scale(38),
                         scale(336), scale(18), progress_, nullptr, instance, nullptr);
  SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
  cancel_ = CreateWindowExW(
      0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, scale(260),
      scale(68), scale(88), scale(26), progress_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelId)), instance, nullptr);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (font_ == nullptr &&
      SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  for (HWND control : {label_, cancel_}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  ShowWindow(progress_, SW_SHOWNOACTIVATE);
  UpdateWindow(progress_);
}

void FileDropWindow::CloseProgressWindow() {
  if (progress_ != nullptr) DestroyWindow(progress_);
  progress_ = label_ = bar_ = cancel_ = nullptr;
}

// Cancel, and the close box, stop the conversion; the window closes when the worker has stopped.
LRESULT CALLBACK FileDropWindow::ProgressProcedure(HWND window, UINT message, WPARAM wparam,
                                                   LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<FileDropWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  const bool cancel = (message == WM_COMMAND && LOWORD(wparam) == kCancelId) || message == WM_CLOSE;
  if (self != nullptr && cancel) {
    if (self->job_) self->job_->Cancel();
    EnableWindow(self->cancel_, FALSE);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace halvrenn::win32
