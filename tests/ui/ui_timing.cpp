// dorvex-ui-timing SOURCE SETTING: times one check of two configuration
// files through the dialogs, as a user would go through it: the drop of
// each file until the dialog answers and until the pane holds the whole
// file, the way from the confirmation box to the result dialog, the
// switches between "Summary Result" and "Analyse Result", and a click into
// a result pane with Ctrl+End, Ctrl+A and Ctrl+C there.
// A measuring tool, not a test: it prints the figures and checks nothing.
#include <windows.h>

#include <cstdio>
#include <string>

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

// Drops `path` at client x and reports the time until the dialog answers
// again and until the pane, or the view over it, shows the whole file.
void timedDrop(HWND dialog, int x, int pane, int view, const char* path, const char* name) {
  std::string bytes;
  readFile(path, bytes);
  DWORD start = GetTickCount();
  dropAt(dialog, x, 100, {path});
  report((std::string("drop of the ") + name + " file, until the dialog answers").c_str(),
         since(start));
  HWND control = GetDlgItem(dialog, IsWindowVisible(GetDlgItem(dialog, view)) ? view : pane);
  waitFor(
      [control, &bytes] { return GetWindowTextLengthA(control) >= static_cast<int>(bytes.size()); },
      600);
  report((std::string("  ... until its pane shows all of it")).c_str(), since(start));
}

// A click into the left pane, then Ctrl+A and Ctrl+C there, as the
// messages a user's keys lead to.
void timedPaneUse(HWND result) {
  HWND pane = GetDlgItem(result, IDC_SOURCE_PANE);
  DWORD start = GetTickCount();
  SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageA(pane, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  UpdateWindow(result);
  report("click into the left pane", since(start));
  start = GetTickCount();
  SendMessageA(pane, EM_SETSEL, 0, -1);
  SendMessageA(pane, WM_COPY, 0, 0);
  report("select all and copy in the left pane", since(start));
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
  timedDrop(dialog, 5, IDC_SOURCE_PANE, IDC_SOURCE_VIEW, argv[1], "source");
  timedDrop(dialog, clientWidth(dialog) - 5, IDC_SETTING_PANE, IDC_SETTING_VIEW, argv[2],
            "setting");
  SetDlgItemTextA(dialog, IDC_OUTPUT_DIR, folder.c_str());

  DWORD opened = timedCheck(dialog, [](HWND result) {
    report("switch to Analyse Result, right after opening", timedSwitch(result, IDC_VIEW_ANALYSIS));
    report("switch back to Summary Result", timedSwitch(result, IDC_VIEW_SUMMARY));
    report("switch to Analyse Result again", timedSwitch(result, IDC_VIEW_ANALYSIS));
  });
  report("from \"ok?\" to the result dialog", opened);

  opened = timedCheck(dialog, [](HWND result) { timedPaneUse(result); });
  report("second check: from \"ok?\" to the result dialog", opened);
  closeMainDialog(dialog);
  tearDown();
  return 0;
}
