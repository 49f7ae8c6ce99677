// dorvex-ui-timing SOURCE SETTING: times one check of two configuration
// files through the dialogs, as a user would go through it: the drop of
// each file, the way from the confirmation box to the result dialog, and
// the switches between "Summary Result" and "Analyse Result", first right
// after the result dialog has opened, then in a second check after the
// dialog has waited for input until the annotated texts are in their panes.
// A measuring tool, not a test: it prints the figures and checks nothing.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "ui/front_end.h"
#include "ui/resource.h"
#include "ui_harness.h"

using namespace uitest;

namespace {

DWORD since(DWORD start) { return GetTickCount() - start; }

void report(const char* step, DWORD milliseconds) {
  std::printf("%-44s %7lu ms\n", step, static_cast<unsigned long>(milliseconds));
  std::fflush(stdout);
}

// Clicks a view's radio button and lets the dialog paint the result.
DWORD timedSwitch(HWND result, int view) {
  DWORD start = GetTickCount();
  clickRadio(result, view);
  UpdateWindow(result);
  return since(start);
}

// True once the four panes hold their texts whole; true at once for a
// dialog without panes of the annotated texts.
bool panesFilled(HWND result) {
  HWND left = GetDlgItem(result, IDC_SOURCE_ANALYSIS);
  HWND right = GetDlgItem(result, IDC_SETTING_ANALYSIS);
  if (left == nullptr || right == nullptr) return true;
  const dorvex::CheckWorkspace& workspace = dorvex::checkWorkspace();
  auto holds = [result](int pane, std::string_view text) {
    return static_cast<std::size_t>(GetWindowTextLengthA(GetDlgItem(result, pane))) >= text.size();
  };
  return holds(IDC_SOURCE_PANE, workspace.leftText(dorvex::ResultView::summary)) &&
         holds(IDC_SETTING_PANE, workspace.rightText(dorvex::ResultView::summary)) &&
         holds(IDC_SOURCE_ANALYSIS, workspace.leftText(dorvex::ResultView::analysis)) &&
         holds(IDC_SETTING_ANALYSIS, workspace.rightText(dorvex::ResultView::analysis));
}

// Presses "CEHCK!" and runs `inResult` in the result dialog; returns the
// time from the confirmation box's answer to the opened result dialog.
DWORD timedCheck(HWND dialog, const std::function<void(HWND)>& inResult) {
  DWORD start = 0;
  DWORD opened = 0;
  onBox("ok?", [&start](HWND) { start = GetTickCount(); });
  resultActions.push_back([&](HWND result) {
    opened = since(start);
    inResult(result);
    PostMessageA(result, WM_COMMAND, IDOK, 0);
  });
  pressCheck(dialog);
  return opened;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dorvex-ui-timing SOURCE SETTING\n");
    return 2;
  }
  if (!setUp()) return 2;
  std::string folder = makeTestFolder();
  HWND dialog = openMainDialog();
  DWORD start = GetTickCount();
  dropAt(dialog, 5, 100, {argv[1]});
  report("drop of the source file", since(start));
  start = GetTickCount();
  dropAt(dialog, clientWidth(dialog) - 5, 100, {argv[2]});
  report("drop of the setting file", since(start));
  SetDlgItemTextA(dialog, IDC_OUTPUT_DIR, folder.c_str());

  DWORD opened = timedCheck(dialog, [](HWND result) {
    report("switch to Analyse Result, right after opening", timedSwitch(result, IDC_VIEW_ANALYSIS));
    report("switch back to Summary Result", timedSwitch(result, IDC_VIEW_SUMMARY));
    report("switch to Analyse Result again", timedSwitch(result, IDC_VIEW_ANALYSIS));
  });
  report("from \"ok?\" to the result dialog", opened);

  opened = timedCheck(dialog, [](HWND result) {
    DWORD waited = GetTickCount();
    waitFor([result] { return panesFilled(result); }, 600);
    report("result dialog waiting for input, until filled", since(waited));
    report("switch to Analyse Result after that", timedSwitch(result, IDC_VIEW_ANALYSIS));
    report("switch back to Summary Result", timedSwitch(result, IDC_VIEW_SUMMARY));
  });
  report("second check: from \"ok?\" to the result dialog", opened);
  closeMainDialog(dialog);
  tearDown();
  return 0;
}
