#include "ui/dialog_front_end.h"

#include "ui/front_end.h"
#include "ui/resource.h"

namespace dorvex {

void ConsoleProgress::write(std::string_view text) {
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

namespace {

// Ctrl+C or Ctrl+Break typed into the console would end the process by
// default; the check goes on instead.
BOOL WINAPI ignoreControlKey(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// Closing a console ends every process attached to it, so the console of a
// check offers no way to close it: the close command goes from its window
// menu (where the system lets another process change that menu), and the
// window menu with the close box goes from its caption.
void removeCloseCommand(HWND console) {
  if (console == nullptr) return;
  if (HMENU menu = GetSystemMenu(console, FALSE)) DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
  SetWindowLongA(console, GWL_STYLE, GetWindowLongA(console, GWL_STYLE) & ~WS_SYSMENU);
  SetWindowPos(console, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

ProgressSink* DialogFrontEnd::openProgress() {
  ownsConsole = AllocConsole() != FALSE;
  if (ownsConsole) {
    SetConsoleCtrlHandler(ignoreControlKey, TRUE);
    removeCloseCommand(GetConsoleWindow());
  }
  console.setOutput(GetStdHandle(STD_OUTPUT_HANDLE));
  return &console;
}

void DialogFrontEnd::closeProgress() {
  console.setOutput(nullptr);
  if (ownsConsole) {
    FreeConsole();
    SetConsoleCtrlHandler(ignoreControlKey, FALSE);
  }
  ownsConsole = false;
}

void DialogFrontEnd::showReportPath(const std::string& path) {
  std::string caption = loadText(IDS_REPORT_CAPTION);
  // The check waits for the box: the user's arrow until it is answered.
  HCURSOR waiting = SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  MessageBoxA(dialog, path.c_str(), caption.c_str(), MB_OK);
  SetCursor(waiting);
}

void DialogFrontEnd::reportNotWritten(const std::string&) {
  showMessage(dialog, IDS_NOT_WRITTEN, IDS_ERROR, MB_OK);
}

}  // namespace dorvex
