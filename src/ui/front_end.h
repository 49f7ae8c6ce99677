// The Windows front end: the main dialog (main_dialog.cpp), the result and
// About dialogs (result_dialog.cpp, about_dialog.cpp), the folder browser
// (folder_browser.cpp) and the state they share for the whole run. Every
// Windows call is an "A" variant: texts stay in the system code page.
#ifndef DORVEX_UI_FRONT_END_H_
#define DORVEX_UI_FRONT_END_H_

#include <windows.h>

#include <string>

#include "workspace/check_run.h"
#include "workspace/check_workspace.h"

namespace dorvex {

// What the dialogs share between checks, one instance for the whole run.
struct FrontEndState {
  std::string sourcePath = kUnopened;   // file last dropped onto the left half
  std::string settingPath = kUnopened;  // file last dropped onto the right half
  std::string reportPath;               // as the last runCheck returned it
  ResultView resultView = ResultView::summary;
  // True from the confirmation box of a check until its result dialog has
  // closed: the main dialog then takes no command, drop or close.
  bool checkRunning = false;
};

// What the result dialog shows besides the workspace's texts: the paths of
// the check it belongs to, fixed when that check ran.
struct CheckShown {
  std::string sourcePath;
  std::string settingPath;
  std::string reportPath;  // empty when it was too long to write
  bool reportWritten = false;
};

FrontEndState& frontEndState();
// The one check workspace of the process.
CheckWorkspace& checkWorkspace();

// Dialog procedures; the main one is also the window procedure of the
// class that the entry function registers (mainWindowProc). The result
// dialog takes a CheckShown* as its creation parameter.
INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK resultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the wait cursor from its construction to its end, over a step that
// takes long and takes no input meanwhile.
class WaitCursor {
 public:
  WaitCursor() : previous(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous;
};

// Shows the folder browser owned by `owner`, starting at `directory`.
// Returns true and sets `directory` iff the user chose a file-system folder.
bool chooseFolder(HWND owner, std::string& directory);
// The browser's call-back: selects the folder whose path is `data` once
// the browser is ready. Returns 0 for every notification.
int CALLBACK browseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);

// String resource `id` in the system code page; empty if it is missing.
std::string loadText(UINT id);

// The whole text of a window, whatever its length.
std::string windowText(HWND window);

// The file-name part of `path` (PathFindFileNameA, so a double-byte
// character whose second byte is a backslash is never split).
std::string fileNameOf(const std::string& path);

// `name` as a label `width` pixels wide shows it in the font selected into
// `dc`: whole when it fits, else its start and its end around "...", the
// end (with the extension) given half of the room, the start the rest.
// Double-byte characters are never split.
std::string fittedFileName(HDC dc, const std::string& name, int width);
// Paints a file-name label (an owner-drawn static control) on one line,
// fitted to its width as above.
void drawFileName(const DRAWITEMSTRUCT& item);

// True iff a drop at client x-coordinate `x` belongs to the left pane: the
// left half is strictly below half the width (integer division).
bool dropGoesLeft(int x, int clientWidth);

// The text a pane shows for a file's bytes: up to the end or the first NUL.
std::string paneTextOf(const std::string& fileBytes);

// Drops the keyboard and mouse input that waits for the thread's windows:
// what was typed or clicked while a check kept the program busy must not
// answer the box or the dialog that opens after it.
void discardInput();

// Shows a message box with the string resources `textId` and `captionId`
// (0: no caption of its own, so the system's). Returns what MessageBoxA
// returns.
int showMessage(HWND owner, UINT textId, UINT captionId, UINT type);

}  // namespace dorvex

#endif  // DORVEX_UI_FRONT_END_H_
