// The result dialog (resource 130): the summaries or the annotated texts of
// the last check side by side, and the report file on request.
//
// A pane takes a long text slowly (half a minute for 200,000 lines under
// Wine), so each of the four texts goes into a pane of its own once and a
// switch of view only shows the other pair: the summaries (panes 1003 and
// 1002) before the dialog opens, the annotated texts (panes 1018 and 1019,
// hidden until asked for) a piece at a time while the dialog waits for
// input, and what is left of them at once when they are asked for earlier.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

#include "ui/front_end.h"
#include "ui/resource.h"

namespace dorvex {
namespace {

constexpr UINT_PTR kFillTimer = 1;
// About this many bytes go into a hidden pane at a time, a few tens of
// milliseconds of work under Wine, short enough not to be felt between
// two inputs.
constexpr std::size_t kPieceSize = 64 * 1024;

// A text on its way into a pane. The workspace's texts stay as they are
// while the result dialog is open: no check runs meanwhile.
struct Filling {
  int paneId;
  std::string_view text;
  std::size_t done;
  bool complete() const { return done == text.size(); }
};

// The annotated texts of the open result dialog (there is one at most).
Filling analysisFillings[2];

// A text up to its first NUL, as a pane would show it.
std::string_view paneText(std::string_view text) { return text.substr(0, text.find('\0')); }

// A pane opens at its first line and column, nothing selected: the line
// numbers and marks are at the start of the lines.
void showFromStart(HWND pane) {
  SendMessageA(pane, EM_SETSEL, 0, 0);
  SendMessageA(pane, EM_SCROLLCARET, 0, 0);
}

void fillPane(HWND dialog, int paneId, std::string_view text) {
  HWND pane = GetDlgItem(dialog, paneId);
  // The limit is for typing only, but a read-only pane should never hint
  // at one.
  SendMessageA(pane, EM_SETLIMITTEXT, 0, 0);
  SetWindowTextA(pane, std::string(text).c_str());
  showFromStart(pane);
}

// Appends the next piece of `filling` to its pane: whole lines of about
// kPieceSize bytes, or all that is left if `rest`. A line ends in LF,
// which is no byte of a double-byte character.
void appendPiece(HWND dialog, Filling& filling, bool rest) {
  std::size_t end = filling.text.size();
  if (!rest && end - filling.done > kPieceSize) {
    std::size_t lineEnd = filling.text.find('\n', filling.done + kPieceSize);
    if (lineEnd != std::string_view::npos) end = lineEnd + 1;
  }
  std::string piece(filling.text.substr(filling.done, end - filling.done));
  HWND pane = GetDlgItem(dialog, filling.paneId);
  // Positions past the end select the end, whatever unit the control
  // counts in.
  SendMessageA(pane, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
  SendMessageA(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  filling.done = end;
  if (filling.complete()) showFromStart(pane);
}

void startAnalysisFilling(HWND dialog) {
  const CheckWorkspace& workspace = checkWorkspace();
  analysisFillings[0] = {IDC_SOURCE_ANALYSIS, paneText(workspace.leftText(ResultView::analysis)),
                         0};
  analysisFillings[1] = {IDC_SETTING_ANALYSIS, paneText(workspace.rightText(ResultView::analysis)),
                         0};
  for (const Filling& filling : analysisFillings) {
    SendDlgItemMessageA(dialog, filling.paneId, EM_SETLIMITTEXT, 0, 0);
  }
  SetTimer(dialog, kFillTimer, USER_TIMER_MINIMUM, nullptr);
}

// One piece while the dialog waits for input.
void onFillTimer(HWND dialog) {
  for (Filling& filling : analysisFillings) {
    if (!filling.complete()) {
      appendPiece(dialog, filling, false);
      return;
    }
  }
  KillTimer(dialog, kFillTimer);
}

void completeAnalysisFilling(HWND dialog) {
  KillTimer(dialog, kFillTimer);
  for (Filling& filling : analysisFillings) {
    if (!filling.complete()) {
      WaitCursor waiting;
      appendPiece(dialog, filling, true);
    }
  }
}

void showView(HWND dialog, ResultView view) {
  frontEndState().resultView = view;
  bool analysis = view == ResultView::analysis;
  CheckDlgButton(dialog, IDC_VIEW_SUMMARY, analysis ? BST_UNCHECKED : BST_CHECKED);
  CheckDlgButton(dialog, IDC_VIEW_ANALYSIS, analysis ? BST_CHECKED : BST_UNCHECKED);
  if (analysis) completeAnalysisFilling(dialog);
  ShowWindow(GetDlgItem(dialog, IDC_SOURCE_PANE), analysis ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(dialog, IDC_SETTING_PANE), analysis ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(dialog, IDC_SOURCE_ANALYSIS), analysis ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(dialog, IDC_SETTING_ANALYSIS), analysis ? SW_SHOW : SW_HIDE);
}

const CheckShown& shownCheck(HWND dialog) {
  return *reinterpret_cast<const CheckShown*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR onInitDialog(HWND dialog, const CheckShown& shown) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&shown));
  SetDlgItemTextA(dialog, IDC_SOURCE_NAME, fileNameOf(shown.sourcePath).c_str());
  SetDlgItemTextA(dialog, IDC_SETTING_NAME, fileNameOf(shown.settingPath).c_str());
  {
    WaitCursor waiting;
    const CheckWorkspace& workspace = checkWorkspace();
    fillPane(dialog, IDC_SOURCE_PANE, paneText(workspace.leftText(ResultView::summary)));
    fillPane(dialog, IDC_SETTING_PANE, paneText(workspace.rightText(ResultView::summary)));
  }
  startAnalysisFilling(dialog);
  showView(dialog, ResultView::summary);
  // The focus goes to the view's button: given to a pane, the dialog would
  // select the pane's whole text and scroll it to its end.
  SetFocus(GetDlgItem(dialog, IDC_VIEW_SUMMARY));
  return FALSE;
}

void printReport(const std::string& path) {
  // No report was written for this check: there is nothing to open.
  if (path.empty()) return;
  ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR onCommand(HWND dialog, WORD command) {
  switch (command) {
    case IDC_VIEW_SUMMARY: showView(dialog, ResultView::summary); return FALSE;
    case IDC_VIEW_ANALYSIS: showView(dialog, ResultView::analysis); return FALSE;
    case IDC_REPORT_PRINT: printReport(shownCheck(dialog).reportPath); return FALSE;
    case IDOK:
    case IDCANCEL: EndDialog(dialog, command); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK resultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG)
      return onInitDialog(dialog, *reinterpret_cast<const CheckShown*>(lParam));
    if (message == WM_COMMAND) return onCommand(dialog, LOWORD(wParam));
    if (message == WM_TIMER && wParam == kFillTimer) {
      onFillTimer(dialog);
      return TRUE;
    }
    if (message == WM_DRAWITEM) {
      drawFileName(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    }
    return FALSE;
  } catch (...) {
    // Nothing may unwind through the window manager.
    return FALSE;
  }
}

}  // namespace dorvex
