// The result dialog (resource 130): the summaries or the annotated texts of
// the last check side by side, after a check in the list cover also each
// configuration's unreachable and redundant lines, and the report file on
// request. The panes are text views (text_view.h) over the workspace's
// texts, which stay as they are while the dialog is open (no check runs
// meanwhile): a switch of view shows the other pair from its first line,
// at once however long.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

#include "ui/front_end.h"
#include "ui/resource.h"
#include "ui/text_view.h"

namespace dorvex {
namespace {

// Checks the view's button alone and shows its two texts.
void showTexts(HWND dialog, int button, std::string_view left, std::string_view right) {
  for (int id : {IDC_VIEW_SUMMARY, IDC_VIEW_ANALYSIS, IDC_VIEW_WITHIN})
    CheckDlgButton(dialog, id, id == button ? BST_CHECKED : BST_UNCHECKED);
  setTextViewText(GetDlgItem(dialog, IDC_SOURCE_PANE), left);
  setTextViewText(GetDlgItem(dialog, IDC_SETTING_PANE), right);
}

void showView(HWND dialog, ResultView view) {
  frontEndState().resultView = view;
  const CheckWorkspace& workspace = checkWorkspace();
  showTexts(dialog, view == ResultView::analysis ? IDC_VIEW_ANALYSIS : IDC_VIEW_SUMMARY,
            workspace.leftText(view), workspace.rightText(view));
}

void showWithin(HWND dialog) {
  const CheckWorkspace& workspace = checkWorkspace();
  showTexts(dialog, IDC_VIEW_WITHIN, workspace.sourceWithinText(), workspace.settingWithinText());
}

// The within view's button lies hidden below the dialog's edge; after a
// check that made the analysis, the dialog grows to show it with the same
// margin below it as below "Close".
void offerWithinView(HWND dialog) {
  if (!checkWorkspace().modes().within) return;
  HWND button = GetDlgItem(dialog, IDC_VIEW_WITHIN);
  RECT close = {}, shown = {}, frame = {};
  GetWindowRect(GetDlgItem(dialog, IDOK), &close);
  GetWindowRect(button, &shown);
  GetWindowRect(dialog, &frame);
  int grow = shown.bottom - close.bottom;
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + grow,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EnableWindow(button, TRUE);
  ShowWindow(button, SW_SHOW);
}

const CheckShown& shownCheck(HWND dialog) {
  return *reinterpret_cast<const CheckShown*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR onInitDialog(HWND dialog, const CheckShown& shown) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&shown));
  SetDlgItemTextA(dialog, IDC_SOURCE_NAME, fileNameOf(shown.sourcePath).c_str());
  SetDlgItemTextA(dialog, IDC_SETTING_NAME, fileNameOf(shown.settingPath).c_str());
  offerWithinView(dialog);
  showView(dialog, ResultView::summary);
  // The focus goes to the view's button, as the keys of the dialog expect.
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
    case IDC_VIEW_WITHIN: showWithin(dialog); return FALSE;
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
