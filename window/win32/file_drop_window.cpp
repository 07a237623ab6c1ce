#include "window/win32/file_drop_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <array>
#include <memory>

#include "cdr/files/paths.h"
#include "cdr/files/system_error.h"
#include "time/utf16_text.h"
#include "window/file_drop_texts.h"

namespace halvrenn::win32 {
namespace {

constexpr wchar_t kProgressClass[] = L"Halvrenn.FileDropProgress";

std::wstring Wide(std::string_view text) { return Utf16FromUtf8(text); }

// Holds a slim lock for its scope.
class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

// The edit control breaks lines at "\r\n" only.
std::wstring WideLines(std::string_view text) {
  std::wstring wide;
  for (const wchar_t c : Utf16FromUtf8(text)) {
    if (c == L'\n') wide += L'\r';
    wide += c;
  }
  return wide;
}

void ShowMessage(HWND owner, std::string_view text) {
  MessageBoxW(owner, Wide(text).c_str(), Wide(kDropTexts.title).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

// Whether existing outputs are replaced: asked once for the whole drop. Skip, Escape and the
// close box keep them, the careful answer.
bool AskReplace(HWND owner, std::size_t existing) {
  const Question question = ReplaceQuestion(existing);
  const std::wstring title = Wide(kDropTexts.title), text = Wide(question.text),
                     choice = Wide(question.choice), replace = Wide(kDropTexts.replace_button),
                     skip = Wide(kDropTexts.skip_button);
  const TASKDIALOG_BUTTON buttons[] = {{IDYES, replace.c_str()}, {IDNO, skip.c_str()}};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = title.c_str();
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszMainInstruction = text.c_str();
  config.pszContent = choice.c_str();
  config.cButtons = 2;
  config.pButtons = buttons;
  config.nDefaultButton = IDNO;
  int pressed = IDNO;
  return SUCCEEDED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr)) && pressed == IDYES;
}

// A dialog template made in memory, in dialog units: the report's controls need no resource
// script, and its size follows the dialog font and the DPI as any dialog's does.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short width, short height, std::string_view title) {
    Long(style);
    Long(0);
    count_at_ = size_;
    Word(0);
    for (const short value : {short{0}, short{0}, width, height}) Short(value);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Text(Wide(title));
    Word(8);  // DS_SETFONT: the point size, then the face
    Text(L"MS Shell Dlg");
  }

  // `window_class` is one of the predefined atoms: 0x80 button, 0x81 edit, 0x82 static.
  void Add(WORD window_class, int id, DWORD style, short x, short y, short width, short height,
           std::wstring_view text = {}) {
    if (size_ % 2 != 0) Word(0);  // each item starts on a DWORD
    Long(style | WS_CHILD | WS_VISIBLE);
    Long(0);
    for (const short value : {x, y, width, height}) Short(value);
    Word(static_cast<WORD>(id));
    Word(0xFFFF);
    Word(window_class);
    Text(text);
    Word(0);  // no creation data
    ++words_[count_at_];
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  // Room for the report's few controls and short texts; what would not fit is left out.
  void Word(WORD value) {
    if (size_ < words_.size()) words_[size_++] = value;
  }
  void Long(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Short(short value) { Word(static_cast<WORD>(value)); }
  void Text(std::wstring_view text) {
    for (const wchar_t c : text) Word(c);
    Word(0);
  }

  alignas(DWORD) std::array<WORD, 512> words_{};
  std::size_t size_ = 0;
  std::size_t count_at_ = 0;
};

constexpr WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82;
constexpr int kFilesLabel = 102;

INT_PTR CALLBACK ReportProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* report = reinterpret_cast<const DropReport*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      const wchar_t* icon = report->kind == DropReportKind::kError     ? IDI_ERROR
                            : report->kind == DropReportKind::kWarning ? IDI_WARNING
                                                                       : IDI_INFORMATION;
      SendDlgItemMessageW(dialog, FileDropWindow::kReportIcon, STM_SETICON,
                          reinterpret_cast<WPARAM>(LoadIconW(nullptr, icon)), 0);
      SetDlgItemTextW(dialog, FileDropWindow::kReportTotals, WideLines(report->totals).c_str());
      SendDlgItemMessageW(dialog, FileDropWindow::kReportFiles, EM_SETLIMITTEXT, 0, 0);
      SetDlgItemTextW(dialog, FileDropWindow::kReportFiles, WideLines(report->files).c_str());
      if (!report->outputs) {
        ShowWindow(GetDlgItem(dialog, FileDropWindow::kReportOpenFolder), SW_HIDE);
      }
      SetFocus(GetDlgItem(dialog, IDCANCEL));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      const auto* report =
          reinterpret_cast<const DropReport*>(GetWindowLongPtrW(dialog, DWLP_USER));
      const int id = LOWORD(wparam);
      if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
      } else if (id == FileDropWindow::kReportOpenFolder && report->outputs) {
        // The report stays until the folder is shown, and says why when it is not.
        std::string error;
        if (ShowFolder(dialog, *report->outputs, error)) {
          EndDialog(dialog, id);
        } else {
          SetDlgItemTextW(dialog, FileDropWindow::kReportNote,
                          Wide(CannotOpenFolderText(report->outputs->folder, error)).c_str());
          MessageBeep(MB_ICONWARNING);
        }
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// The report: a fixed size whatever the number of files, the buttons always in view.
void ShowReport(HWND owner, const DropReport& report) {
  DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
                        300, 218, kDropTexts.title);
  dialog.Add(kStatic, FileDropWindow::kReportIcon, SS_ICON, 7, 7, 21, 20);
  dialog.Add(kStatic, FileDropWindow::kReportTotals, SS_LEFT | SS_NOPREFIX, 36, 7, 257, 34);
  dialog.Add(kStatic, kFilesLabel, SS_LEFT, 7, 46, 286, 9, Wide(kDropTexts.files_label));
  dialog.Add(kEdit, FileDropWindow::kReportFiles,
             WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 7,
             57, 286, 118);
  dialog.Add(kStatic, FileDropWindow::kReportNote, SS_LEFT | SS_NOPREFIX, 7, 179, 286, 16);
  dialog.Add(kButton, FileDropWindow::kReportOpenFolder, BS_PUSHBUTTON | WS_TABSTOP, 174, 197, 62,
             14, Wide(kDropTexts.open_folder_button));
  dialog.Add(kButton, IDCANCEL, BS_DEFPUSHBUTTON | WS_TABSTOP, 240, 197, 53, 14,
             Wide(kDropTexts.close_button));
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
  DialogBoxIndirectParamW(instance, dialog.get(), owner, ReportProcedure,
                          reinterpret_cast<LPARAM>(&report));
}

// Escape and Enter on the Cancel button press it, as Space does by itself.
LRESULT CALLBACK CancelKeys(HWND button, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                            DWORD_PTR) {
  if (message == WM_KEYDOWN && (wparam == VK_ESCAPE || wparam == VK_RETURN)) {
    SendMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS | DLGC_BUTTON;
  return DefSubclassProc(button, message, wparam, lparam);
}

}  // namespace

bool ShowFolder(HWND owner, const FolderToShow& shown, std::string& error) {
  // The shell's folder windows are COM objects; a thread may initialise COM more than once.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HRESULT selected = E_FAIL;
  if (PIDLIST_ABSOLUTE folder = ILCreateFromPathW(Wide(shown.folder).c_str())) {
    const std::size_t count = shown.items.size();
    const auto items = std::make_unique<PIDLIST_ABSOLUTE[]>(count);
    const auto children = std::make_unique<PCUITEMID_CHILD[]>(count);
    UINT found = 0;
    for (const std::string& item : shown.items) {
      if (PIDLIST_ABSOLUTE path = ILCreateFromPathW(Wide(item).c_str())) {
        items[found] = path;
        children[found++] = ILFindLastID(path);
      }
    }
    if (found > 0) selected = SHOpenFolderAndSelectItems(folder, found, children.get(), 0);
    for (UINT index = 0; index < found; ++index) ILFree(items[index]);
    ILFree(folder);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  if (SUCCEEDED(selected)) return true;

  const std::wstring folder = Wide(shown.folder);
  SHELLEXECUTEINFOW open{};
  open.cbSize = sizeof open;
  open.fMask = SEE_MASK_FLAG_NO_UI;
  open.hwnd = owner;
  open.lpVerb = L"open";
  open.lpFile = folder.c_str();
  open.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&open)) return true;
  error = cdr::SystemSentence(static_cast<int>(GetLastError()));
  return false;
}

FileDropWindow::~FileDropWindow() {
  CancelAndWait();
  if (font_ != nullptr) DeleteObject(font_);
}

void FileDropWindow::Convert(const std::vector<std::string>& dropped) {
  if (job_) {
    ShowMessage(owner_, kDropTexts.busy);
    return;
  }
  DropFiles drop = FilesOfDrop(dropped);
  if (drop.files.empty()) {
    ShowMessage(owner_, NothingToConvertText(drop.skipped));
    return;
  }
  const std::size_t existing = FilesWithExistingOutput(drop.files).size();
  const bool replace = existing > 0 && AskReplace(owner_, existing);

  CreateProgressWindow();
  {
    const Locked lock(latest_lock_);
    latest_ = DropProgress{0, drop.files.size(), drop.files.front(), 0};
  }
  OnProgressPosted();
  HWND owner = owner_;
  job_ = std::make_unique<FileDropJob>(
      std::move(drop), replace,
      [this, owner](const DropProgress& progress) {
        {
          const Locked lock(latest_lock_);
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

void FileDropWindow::Cancel() {
  if (job_) job_->Cancel();
  EnableWindow(cancel_, FALSE);
}

void FileDropWindow::OnProgressPosted() {
  progress_posted_.store(false);
  if (progress_ == nullptr) return;
  DropProgress progress;
  {
    const Locked lock(latest_lock_);
    progress = latest_;
  }
  const std::string label =
      ProgressText(cdr::FileNameOf(progress.file), progress.file_index, progress.file_count);
  SetWindowTextW(label_, Wide(label).c_str());
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(progress.percent), 0);
}

void FileDropWindow::OnFinishedPosted() {
  if (!job_) return;
  const std::unique_ptr<FileDropJob> job = std::move(job_);
  CloseProgressWindow();
  ShowReport(owner_, MakeDropReport(job->Outcomes(), job->Skipped()));
}

// A small owned window, not a modal dialog: the owner stays enabled, so Text1 takes typing. It
// shows without taking the focus from Text1, beside Form1 so that every field stays in view.
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
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const ScreenRect place =
      PlaceBeside({owner_rect.left, owner_rect.top, owner_rect.right, owner_rect.bottom},
                  frame.right - frame.left, frame.bottom - frame.top,
                  {work.left, work.top, work.right, work.bottom});
  const std::wstring title = Wide(kDropTexts.title);
  progress_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressClass, title.c_str(), kStyle,
                              place.left, place.top, place.right - place.left,
                              place.bottom - place.top, owner_, nullptr, instance, this);
  if (progress_ == nullptr) return;
  label_ = CreateWindowExW(
      0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, scale(12),
      scale(12), scale(336), scale(20), progress_, nullptr, instance, nullptr);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, scale(12), scale(38),
                         scale(336), scale(18), progress_, nullptr, instance, nullptr);
  SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
  cancel_ =
      CreateWindowExW(0, L"BUTTON", Wide(kDropTexts.cancel_button).c_str(),
                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, scale(260), scale(68),
                      scale(88), scale(26), progress_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance, nullptr);
  SetWindowSubclass(cancel_, CancelKeys, 0, 0);
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

// Cancel (by click, Space, Enter or Escape), Escape anywhere in the window, the close box and
// Alt+F4 stop the conversion; the window closes when the worker has stopped. Activated, the
// window gives the focus to Cancel.
LRESULT CALLBACK FileDropWindow::ProgressProcedure(HWND window, UINT message, WPARAM wparam,
                                                   LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<FileDropWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) self->Cancel();
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) self->Cancel();
      return 0;
    case WM_CLOSE:
      self->Cancel();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && self->cancel_ != nullptr &&
          IsWindowEnabled(self->cancel_)) {
        SetFocus(self->cancel_);
      }
      return 0;
    case WM_DESTROY:
      if (self->cancel_ != nullptr) RemoveWindowSubclass(self->cancel_, CancelKeys, 0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace halvrenn::win32
