// The result dialog (resource 130): the summaries or the annotated texts of
// the last check side by side, after a check in the list cover also each
// configuration's unreachable and redundant lines and the verdicts, after
// a change review its changes, and the report file on request. The panes are text views
// (text_view.h) over the workspace's texts, which stay as they are while the dialog is open (no
// check runs meanwhile): a switch of view shows the other pair from its first line, at once however
// long.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/front_end.h"
#include "ui/resource.h"
#include "ui/text_view.h"

namespace dorvex {
namespace {

// The dialog's controls as it opened, and how it has grown since: each
// half takes half of the growth in width and both panes all of the growth
// in height; the row below the panes moves down, its buttons on the right
// with the right edge. One result dialog is open at a time.
struct Layout {
  SIZE opened = {};
  std::vector<std::pair<HWND, RECT>> controls;
  // The verdicts view: the left pane over the width of both.
  bool onePane = false;
};
Layout layout;

void recordLayout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  layout.opened = {client.right, client.bottom};
  layout.controls.clear();
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    layout.controls.emplace_back(child, place);
  }
}

// Where a control goes when the client area has grown by `wide` and
// `high`: `place` is where it was as the dialog opened, `panesBottom` the
// panes' bottom then.
RECT grownPlace(RECT place, int wide, int high, int panesBottom) {
  const int leftShare = wide / 2;
  bool onRight = (place.left + place.right) / 2 > static_cast<int>(layout.opened.cx) / 2;
  if (place.top >= panesBottom) {
    OffsetRect(&place, onRight ? wide : 0, high);
    return place;
  }
  if (onRight) place.left += leftShare;
  place.right += onRight ? wide : leftShare;
  if (place.bottom == panesBottom) place.bottom += high;
  return place;
}

void applyLayout(HWND dialog) {
  if (layout.controls.empty()) return;
  RECT client;
  GetClientRect(dialog, &client);
  int wide = std::max(0, static_cast<int>(client.right - layout.opened.cx));
  int high = std::max(0, static_cast<int>(client.bottom - layout.opened.cy));
  HWND left = GetDlgItem(dialog, IDC_SOURCE_PANE);
  HWND right = GetDlgItem(dialog, IDC_SETTING_PANE);
  int panesBottom = 0;
  for (const auto& [control, place] : layout.controls) {
    if (control == left) panesBottom = place.bottom;
  }
  RECT rightPlace = {};
  for (const auto& [control, place] : layout.controls) {
    RECT grown = grownPlace(place, wide, high, panesBottom);
    if (control == right) rightPlace = grown;
    MoveWindow(control, grown.left, grown.top, grown.right - grown.left, grown.bottom - grown.top,
               FALSE);
  }
  if (layout.onePane) {
    RECT leftPlace;
    GetWindowRect(left, &leftPlace);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&leftPlace), 2);
    MoveWindow(left, leftPlace.left, leftPlace.top, rightPlace.right - leftPlace.left,
               leftPlace.bottom - leftPlace.top, FALSE);
  }
  ShowWindow(right, layout.onePane ? SW_HIDE : SW_SHOWNA);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Checks the view's button alone and shows its two texts, or with one
// pane its left text over the width of both.
void showTexts(HWND dialog, int button, std::string_view left, std::string_view right,
               bool onePane = false) {
  for (int id :
       {IDC_VIEW_SUMMARY, IDC_VIEW_ANALYSIS, IDC_VIEW_WITHIN, IDC_VIEW_VERDICTS, IDC_VIEW_CHANGES})
    CheckDlgButton(dialog, id, id == button ? BST_CHECKED : BST_UNCHECKED);
  setTextViewText(GetDlgItem(dialog, IDC_SOURCE_PANE), left);
  setTextViewText(GetDlgItem(dialog, IDC_SETTING_PANE), right);
  if (layout.onePane != onePane) {
    layout.onePane = onePane;
    applyLayout(dialog);
  }
}

void showView(HWND dialog, ResultView view) {
  frontEndState().resultView = view;
  const CheckWorkspace& workspace = checkWorkspace();
  showTexts(dialog, view == ResultView::analysis ? IDC_VIEW_ANALYSIS : IDC_VIEW_SUMMARY,
            workspace.leftText(view), workspace.rightText(view));
}

// What a side of the within view shows when the analysis found nothing
// there: an empty pane looked like a view that failed.
constexpr std::string_view kNoWithinLines = "No line is unreachable or redundant.\r\n";

void showWithin(HWND dialog) {
  const CheckWorkspace& workspace = checkWorkspace();
  auto orNone = [](std::string_view text) { return text.empty() ? kNoWithinLines : text; };
  showTexts(dialog, IDC_VIEW_WITHIN, orNone(workspace.sourceWithinText()),
            orNone(workspace.settingWithinText()));
}

// The list cover's details: for each setting rule read, its verdict, the
// source lines that decide its packets, and a witness packet when it is
// not covered.
void showVerdicts(HWND dialog) {
  showTexts(dialog, IDC_VIEW_VERDICTS, checkWorkspace().duplicationDetails.view(),
            std::string_view(), true);
}

// What the changes view shows when no decision changed: an empty pane
// looked like a view that failed.
constexpr std::string_view kNoChanges = "No decision changed.\r\n";

// The change review's lines: each pair of deciding lines whose decisions
// differ, with a packet, lists added or removed, changes left undecided.
void showChanges(HWND dialog) {
  std::string_view changes = checkWorkspace().changeDetails.view();
  showTexts(dialog, IDC_VIEW_CHANGES, changes.empty() ? kNoChanges : changes, std::string_view(),
            true);
}

// The buttons of the views a check may add (within, verdicts, changes) lie
// hidden below the dialog's edge; after a check that made them, the dialog
// grows to show them with the same margin below the lowest as below
// "Close". The changes view takes the within view's row when that is not
// offered.
void offerMoreViews(HWND dialog) {
  const CheckModes& modes = checkWorkspace().modes();
  std::vector<HWND> offered;
  if (modes.within) {
    offered.push_back(GetDlgItem(dialog, IDC_VIEW_WITHIN));
    if (modes.cover == Cover::list) offered.push_back(GetDlgItem(dialog, IDC_VIEW_VERDICTS));
  }
  if (modes.diff) {
    HWND changes = GetDlgItem(dialog, IDC_VIEW_CHANGES);
    if (!modes.within) {
      RECT row = {}, place = {};
      GetWindowRect(GetDlgItem(dialog, IDC_VIEW_WITHIN), &row);
      GetWindowRect(changes, &place);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&row), 2);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
      MoveWindow(changes, place.left, row.top, place.right - place.left, place.bottom - place.top,
                 FALSE);
    }
    offered.push_back(changes);
  }
  if (offered.empty()) return;
  RECT close = {}, frame = {};
  GetWindowRect(GetDlgItem(dialog, IDOK), &close);
  GetWindowRect(dialog, &frame);
  LONG lowest = close.bottom;
  for (HWND button : offered) {
    RECT shown = {};
    GetWindowRect(button, &shown);
    lowest = std::max(lowest, shown.bottom);
    EnableWindow(button, TRUE);
    ShowWindow(button, SW_SHOW);
  }
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left,
               frame.bottom - frame.top + (lowest - close.bottom),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const CheckShown& shownCheck(HWND dialog) {
  return *reinterpret_cast<const CheckShown*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR onInitDialog(HWND dialog, const CheckShown& shown) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&shown));
  SetDlgItemTextA(dialog, IDC_SOURCE_NAME, fileNameOf(shown.sourcePath).c_str());
  SetDlgItemTextA(dialog, IDC_SETTING_NAME, fileNameOf(shown.settingPath).c_str());
  offerMoreViews(dialog);
  layout.onePane = false;
  recordLayout(dialog);
  showView(dialog, ResultView::summary);
  // The focus goes to the view's button, as the keys of the dialog expect.
  SetFocus(GetDlgItem(dialog, IDC_VIEW_SUMMARY));
  return FALSE;
}

void printReport(HWND dialog, const CheckShown& shown) {
  // No report was written for this check: there is nothing to open, and
  // the shell would fail without a word.
  if (!shown.reportWritten) {
    std::string text = shown.reportPath.empty()
                           ? std::string("No report was written for this check.")
                           : "No report was written for this check: " + shown.reportPath;
    MessageBoxA(dialog, text.c_str(), loadText(IDS_ERROR).c_str(), MB_OK | MB_ICONERROR);
    return;
  }
  ShellExecuteA(nullptr, "open", shown.reportPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR onCommand(HWND dialog, WORD command) {
  switch (command) {
    case IDC_VIEW_SUMMARY: showView(dialog, ResultView::summary); return FALSE;
    case IDC_VIEW_ANALYSIS: showView(dialog, ResultView::analysis); return FALSE;
    case IDC_VIEW_WITHIN: showWithin(dialog); return FALSE;
    case IDC_VIEW_VERDICTS: showVerdicts(dialog); return FALSE;
    case IDC_VIEW_CHANGES: showChanges(dialog); return FALSE;
    case IDC_REPORT_PRINT: printReport(dialog, shownCheck(dialog)); return FALSE;
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
    if (message == WM_SIZE) {
      applyLayout(dialog);
      return FALSE;
    }
    if (message == WM_GETMINMAXINFO && !layout.controls.empty()) {
      // Never smaller than it opened: its layout is made for that size.
      RECT frame = {0, 0, layout.opened.cx, layout.opened.cy};
      AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
      return TRUE;
    }
    if (message == WM_DESTROY) layout.controls.clear();
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
