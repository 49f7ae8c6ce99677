// The result dialog (resource 130): the summaries or the annotated texts of
// the last check side by side, and the report file on request.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "ui/front_end.h"
#include "ui/resource.h"

namespace dorvex {
namespace {

// A pane opens at its first line and column, nothing selected: the line
// numbers and marks are at the start of the lines.
void showFromStart(HWND pane) {
  SendMessageA(pane, EM_SETSEL, 0, 0);
  SendMessageA(pane, EM_SCROLLCARET, 0, 0);
}

// Each text is copied into a buffer of its own size, so a text of any
// length is shown whole.
void fillPanes(HWND dialog) {
  const CheckWorkspace& workspace = checkWorkspace();
  ResultView view = frontEndState().resultView;
  std::string left(workspace.leftText(view).size() + 1, '\0');
  std::string right(workspace.rightText(view).size() + 1, '\0');
  workspace.copyViews(view, left.data(), left.size(), right.data(), right.size());
  SetDlgItemTextA(dialog, IDC_SOURCE_PANE, left.c_str());
  SetDlgItemTextA(dialog, IDC_SETTING_PANE, right.c_str());
  showFromStart(GetDlgItem(dialog, IDC_SOURCE_PANE));
  showFromStart(GetDlgItem(dialog, IDC_SETTING_PANE));
}

void showView(HWND dialog, ResultView view) {
  frontEndState().resultView = view;
  CheckDlgButton(dialog, IDC_VIEW_SUMMARY, view == ResultView::summary ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_VIEW_ANALYSIS, view == ResultView::analysis ? BST_CHECKED : BST_UNCHECKED);
  fillPanes(dialog);
}

const CheckShown& shownCheck(HWND dialog) {
  return *reinterpret_cast<const CheckShown*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR onInitDialog(HWND dialog, const CheckShown& shown) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&shown));
  // The limit is for typing only, but a read-only pane should never hint
  // at one.
  SendDlgItemMessageA(dialog, IDC_SOURCE_PANE, EM_LIMITTEXT, 0, 0);
  SendDlgItemMessageA(dialog, IDC_SETTING_PANE, EM_LIMITTEXT, 0, 0);
  SetDlgItemTextA(dialog, IDC_SOURCE_NAME, fileNameOf(shown.sourcePath).c_str());
  SetDlgItemTextA(dialog, IDC_SETTING_NAME, fileNameOf(shown.settingPath).c_str());
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
    case IDC_VIEW_SUMMARY:
      showView(dialog, ResultView::summary);
      return FALSE;
    case IDC_VIEW_ANALYSIS:
      showView(dialog, ResultView::analysis);
      return FALSE;
    case IDC_REPORT_PRINT:
      printReport(shownCheck(dialog).reportPath);
      return FALSE;
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, command);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK resultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) return onInitDialog(dialog, *reinterpret_cast<const CheckShown*>(lParam));
    if (message == WM_COMMAND) return onCommand(dialog, LOWORD(wParam));
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
