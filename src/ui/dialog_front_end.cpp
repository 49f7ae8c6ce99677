#include "ui/dialog_front_end.h"

#include <cstdio>
#include <string>
#include <vector>

#include "text/text_writer.h"
#include "ui/front_end.h"
#include "ui/resource.h"

namespace dorvex {

namespace {

// Light grey on black, as the console that showed these lines before.
constexpr COLORREF kProgressText = RGB(192, 192, 192);

INT_PTR onProgressMessage(HWND window, UINT message, WPARAM wParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // Its caption is the program's path, as a console's was.
      char path[MAX_PATH] = {};
      GetModuleFileNameA(nullptr, path, sizeof path);
      SetWindowTextA(window, path);
      return FALSE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: {
      auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, kProgressText);
      SetBkColor(dc, RGB(0, 0, 0));
      return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
    }
    case WM_SYSCOMMAND:
      // The window menu's and the taskbar's close, and Alt+F4.
      return (wParam & 0xFFF0) == SC_CLOSE;
    case WM_CLOSE: return TRUE;
    default: return FALSE;
  }
}

INT_PTR CALLBACK progressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  try {
    return onProgressMessage(window, message, wParam);
  } catch (...) {
    // Nothing may unwind through the window manager.
    return FALSE;
  }
}

// A box of `owner` opened while this is alive takes the foreground as it
// opens, and its button the keyboard focus then and whenever the box is
// activated without it. Opened while another window was in front, the box
// could come up without either, and Return and Space did nothing until it
// was clicked.
class BoxFocus {
 public:
  explicit BoxFocus(HWND owner) {
    boxOwner = owner;
    hook = SetWindowsHookExA(WH_CALLWNDPROCRET, afterMessage, nullptr, GetCurrentThreadId());
  }
  ~BoxFocus() {
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    hook = nullptr;
    boxOwner = nullptr;
  }
  BoxFocus(const BoxFocus&) = delete;
  BoxFocus& operator=(const BoxFocus&) = delete;

 private:
  static bool isBoxOf(HWND window, HWND owner) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return GetWindow(window, GW_OWNER) == owner && lstrcmpA(className, "#32770") == 0;
  }

  static void takeFocus(HWND box) {
    HWND button = GetDlgItem(box, IDOK);
    HWND focus = GetFocus();
    if (button != nullptr && focus != box && !IsChild(box, focus)) SetFocus(button);
  }

  static LRESULT CALLBACK afterMessage(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && isBoxOf(sent->hwnd, boxOwner)) {
      if (sent->message == WM_INITDIALOG) {
        SetForegroundWindow(sent->hwnd);
        takeFocus(sent->hwnd);
      }
      if (sent->message == WM_ACTIVATE && LOWORD(sent->wParam) != WA_INACTIVE)
        takeFocus(sent->hwnd);
    }
    return CallNextHookEx(hook, code, wParam, lParam);
  }

  static inline HHOOK hook = nullptr;
  static inline HWND boxOwner = nullptr;
};

// Often enough for a window dragged by its caption to follow the pointer,
// seldom enough to cost the check nothing that shows.
constexpr DWORD kTurnMilliseconds = 50;

// The input that acts on a window, but for a press on a caption, which
// starts a move.
bool isUserInput(const MSG& message) {
  UINT kind = message.message;
  if (kind >= WM_KEYFIRST && kind <= WM_KEYLAST) return true;
  if (kind >= WM_MOUSEFIRST && kind <= WM_MOUSELAST) return true;
  if (kind == WM_NCLBUTTONDOWN) return message.wParam != HTCAPTION;
  return kind > WM_NCMOUSEMOVE && kind <= WM_NCXBUTTONDBLCLK;
}

// "duplication check: setting rule <n> of <count>" for the last line of
// `written`, a details line of the list cover that names the setting
// rule's line; empty when it names none.
std::string listStep(const CheckWorkspace& workspace, std::string_view written) {
  std::size_t lineStart = written.rfind('\n', written.size() >= 2 ? written.size() - 2 : 0);
  std::string_view line =
      written.substr(lineStart == std::string_view::npos || written.size() < 2 ? 0 : lineStart + 1);
  constexpr std::string_view kRow = " setting-row=";
  std::size_t at = line.find(kRow);
  if (at == std::string_view::npos) return std::string();
  std::size_t row = 0;
  for (at += kRow.size(); at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
    row = row * 10 + static_cast<std::size_t>(line[at] - '0');
  const std::vector<LineRecord>& lines = workspace.settingConfig.lines();
  if (row == 0 || row > lines.size() || lines[row - 1].entry < 0) return std::string();
  char step[96];
  std::snprintf(step, sizeof step, "duplication check: setting rule %d of %d",
                lines[row - 1].entry + 1, workspace.settingConfig.entryCount());
  return step;
}

}  // namespace

ProgressWindow* ProgressWindow::current = nullptr;

bool ProgressWindow::open(HWND owner) {
  window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), owner,
                              progressProc, 0);
  if (window == nullptr) return false;
  current = this;
  lastTurn = GetTickCount();
  TextWriter::observeLines(onCheckLine);
  // The main dialog keeps the activation, so that the boxes of the check
  // open in the active window of the program.
  ShowWindow(window, SW_SHOWNA);
  UpdateWindow(window);
  return true;
}

void ProgressWindow::write(std::string_view text) {
  if (window == nullptr) return;
  HWND lines = GetDlgItem(window, IDC_PROGRESS_TEXT);
  std::string piece(text);
  SendMessageA(lines, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
  SendMessageA(lines, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  SetDlgItemTextA(window, IDC_PROGRESS_STEP, "");
  takeTurn();
}

void ProgressWindow::close() {
  if (current == this) {
    TextWriter::observeLines(nullptr);
    current = nullptr;
  }
  if (window != nullptr) DestroyWindow(window);
  window = nullptr;
  discardInput();
}

void ProgressWindow::takeTurn() {
  lastTurn = GetTickCount();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // For the loop that ends the program, after the check.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (isUserInput(message)) continue;
    DispatchMessageA(&message);
  }
  if (window != nullptr) UpdateWindow(window);
}

void ProgressWindow::onCheckLine(const TextCursor& out, std::string_view written) {
  ProgressWindow* progress = current;
  if (progress == nullptr || GetTickCount() - progress->lastTurn < kTurnMilliseconds) return;
  const CheckWorkspace& workspace = checkWorkspace();
  if (&out == &workspace.duplicationDetails && workspace.modes().cover == Cover::list) {
    std::string step = listStep(workspace, written);
    if (!step.empty()) SetDlgItemTextA(progress->window, IDC_PROGRESS_STEP, step.c_str());
  }
  progress->takeTurn();
}

ProgressSink* DialogFrontEnd::openProgress() { return progress.open(dialog) ? &progress : nullptr; }

void DialogFrontEnd::closeProgress() { progress.close(); }

void DialogFrontEnd::showReportPath(const std::string& path) {
  reportPath = path;
  std::string caption = loadText(IDS_REPORT_CAPTION);
  // The check waits for the box: the user's arrow until it is answered.
  HCURSOR waiting = SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  BoxFocus focus(dialog);
  discardInput();
  MessageBoxA(dialog, path.c_str(), caption.c_str(), MB_OK | MB_SETFOREGROUND);
  SetCursor(waiting);
}

void DialogFrontEnd::reportNotWritten(const std::string& reason) {
  discardInput();
  std::string text = loadText(IDS_NOT_WRITTEN) + ": " + reportPath + ": " + reason;
  MessageBoxA(dialog, text.c_str(), loadText(IDS_ERROR).c_str(), MB_OK);
}

}  // namespace dorvex
