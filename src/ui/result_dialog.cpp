// The result dialog (resource 130): the summaries or the annotated texts of
// the last check side by side, and the report file on request.
//
// A pane takes a long text slowly (ten seconds for 200,000 lines under
// Wine, nearly all of it the control measuring each line), so each of the
// four texts goes into a pane of its own once, a piece at a time while the
// dialog waits for input, and a switch of view only shows the other pair:
// the summaries (panes 1003 and 1002) first, their first piece before the
// dialog opens, then the annotated texts (panes 1018 and 1019, hidden until
// asked for). What is left of a text goes in at once when its pane is
// asked for earlier: the annotated texts on a switch of view, a summary
// when its pane takes the focus, before anything can select or copy in it.
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

// The texts of the open result dialog (there is one at most), in the
// order they go in: the summaries in view first.
Filling fillings[4];

// A text up to its first NUL, as a pane would show it.
std::string_view paneText(std::string_view text) { return text.substr(0, text.find('\0')); }

// Where a pane is scrolled to and what is selected in it.
struct PaneView {
  DWORD selectionStart = 0;
  DWORD selectionEnd = 0;
  int firstLine = 0;
  int left = 0;
};

PaneView viewOf(HWND pane) {
  PaneView view;
  SendMessageA(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&view.selectionStart),
               reinterpret_cast<LPARAM>(&view.selectionEnd));
  view.firstLine = static_cast<int>(SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
  view.left = GetScrollPos(pane, SB_HORZ);
  return view;
}

// The selection first, since setting it may scroll; the scroll bar
// positions are the control's offsets.
void restoreView(HWND pane, const PaneView& view) {
  SendMessageA(pane, EM_SETSEL, view.selectionStart, view.selectionEnd);
  int firstLine = static_cast<int>(SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
  SendMessageA(pane, EM_LINESCROLL, 0, view.firstLine - firstLine);
  SendMessageA(pane, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, view.left), 0);
}

// The text in view of a pane given a piece is as it was: only its frame,
// where the scroll bars show the new length, is drawn again.
void redrawScrollBars(HWND pane) {
  RECT window;
  GetWindowRect(pane, &window);
  MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&window), 2);
  RECT client;
  GetClientRect(pane, &client);
  HRGN frame = CreateRectRgnIndirect(&window);
  HRGN inside = CreateRectRgnIndirect(&client);
  CombineRgn(frame, frame, inside, RGN_DIFF);
  RedrawWindow(pane, nullptr, frame, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  DeleteObject(inside);
  DeleteObject(frame);
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
  // The control scrolls to the end of what it takes: a pane keeps its
  // place and selection, and one in view is not drawn meanwhile.
  PaneView view = viewOf(pane);
  bool inView = IsWindowVisible(pane) != FALSE;
  if (inView) SendMessageA(pane, WM_SETREDRAW, FALSE, 0);
  // Positions past the end select the end, whatever unit the control
  // counts in.
  SendMessageA(pane, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
  DWORD textEnd = 0;
  SendMessageA(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&textEnd), 0);
  SendMessageA(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  // A selection up to the end, as the dialog makes when the pane is
  // tabbed to, takes in the rest.
  if (view.selectionEnd == textEnd && view.selectionStart != view.selectionEnd)
    SendMessageA(pane, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&view.selectionEnd));
  restoreView(pane, view);
  if (inView) {
    SendMessageA(pane, WM_SETREDRAW, TRUE, 0);
    redrawScrollBars(pane);
  }
  filling.done = end;
}

// The summaries' first pieces go in at once: the dialog opens with the
// panes' first lines in view.
void startFilling(HWND dialog) {
  const CheckWorkspace& workspace = checkWorkspace();
  fillings[0] = {IDC_SOURCE_PANE, paneText(workspace.leftText(ResultView::summary)), 0};
  fillings[1] = {IDC_SETTING_PANE, paneText(workspace.rightText(ResultView::summary)), 0};
  fillings[2] = {IDC_SOURCE_ANALYSIS, paneText(workspace.leftText(ResultView::analysis)), 0};
  fillings[3] = {IDC_SETTING_ANALYSIS, paneText(workspace.rightText(ResultView::analysis)), 0};
  for (Filling& filling : fillings) {
    // The limit is for typing only, but a read-only pane should never
    // hint at one.
    SendDlgItemMessageA(dialog, filling.paneId, EM_SETLIMITTEXT, 0, 0);
  }
  WaitCursor waiting;
  if (!fillings[0].complete()) appendPiece(dialog, fillings[0], false);
  if (!fillings[1].complete()) appendPiece(dialog, fillings[1], false);
  SetTimer(dialog, kFillTimer, USER_TIMER_MINIMUM, nullptr);
}

// One piece while the dialog waits for input.
void onFillTimer(HWND dialog) {
  // A piece under a drag would move the selection being made.
  if (GetCapture() != nullptr) return;
  for (Filling& filling : fillings) {
    if (!filling.complete()) {
      appendPiece(dialog, filling, false);
      return;
    }
  }
  KillTimer(dialog, kFillTimer);
}

void completeFilling(HWND dialog, Filling& filling) {
  if (filling.complete()) return;
  WaitCursor waiting;
  appendPiece(dialog, filling, true);
}

void completeAnalysisFilling(HWND dialog) {
  completeFilling(dialog, fillings[2]);
  completeFilling(dialog, fillings[3]);
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
  startFilling(dialog);
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

INT_PTR onCommand(HWND dialog, WORD command, WORD notification) {
  if (notification == EN_SETFOCUS) {
    if (command == IDC_SOURCE_PANE) completeFilling(dialog, fillings[0]);
    if (command == IDC_SETTING_PANE) completeFilling(dialog, fillings[1]);
    return FALSE;
  }
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
    if (message == WM_COMMAND) return onCommand(dialog, LOWORD(wParam), HIWORD(wParam));
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
