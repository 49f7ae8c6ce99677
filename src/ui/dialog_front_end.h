// What a check run needs from Windows: a window for the progress lines and
// the message boxes of the report path and of a report that could not be
// written. Used by the "CEHCK!" handler of the main dialog.
#ifndef DORVEX_UI_DIALOG_FRONT_END_H_
#define DORVEX_UI_DIALOG_FRONT_END_H_

#include <windows.h>

#include "platform/report_file.h"
#include "text/text_cursor.h"
#include "workspace/check_run.h"

namespace dorvex {

// Shows the progress lines of a check in a window of the program's own
// (dialog IDD_PROGRESS, owned by the main dialog), black like a console.
// A console would not do: closing one (its window menu, the taskbar) ends
// every process attached to it, whatever its handlers return. This window
// cannot be closed: its close command, Alt+F4 and Escape are ignored, and
// it goes only when the check lets it go.
class ProgressWindow : public ProgressSink {
 public:
  // Opens the window over `owner` without taking the activation from it.
  // Returns false iff the window could not be created; write() then does
  // nothing.
  bool open(HWND owner);
  // Appends `text` (lines ending in CR LF) and shows it at once, then gives
  // the window loop a turn (takeTurn()).
  void write(std::string_view text) override;
  void close();

  // Handles what waits for the program's windows (repaints, a move by the
  // caption, a close to refuse) and drops the keyboard and mouse input
  // meant for them, so that nothing typed or clicked during the check acts
  // on the boxes that follow it. While the window is open the check also
  // takes a turn every few tens of milliseconds from the lines it writes,
  // and in the list cover the window shows which setting rule it is at.
  void takeTurn();

 private:
  static void onCheckLine(const TextCursor& out, std::string_view written);
  // The window that the check's lines give their turns to.
  static ProgressWindow* current;

  HWND window = nullptr;
  DWORD lastTurn = 0;
};

class DialogFrontEnd : public CheckFrontEnd {
 public:
  explicit DialogFrontEnd(HWND dialog) : dialog(dialog) {}

  ProgressSink* openProgress() override;
  void closeProgress() override;
  ReportStore& reportStore() override { return reports; }
  // "Report Filename" box, owned by the dialog like every box of a check;
  // it takes the foreground and the keyboard focus as it opens.
  void showReportPath(const std::string& path) override;
  // "Result File could not open: PATH: REASON" / "error", owned by the
  // dialog, as the console driver says it.
  void reportNotWritten(const std::string& reason) override;

 private:
  HWND dialog;
  std::string reportPath;  // as showReportPath() was last told
  ProgressWindow progress;
  ReportFiles reports;
};

}  // namespace dorvex

#endif  // DORVEX_UI_DIALOG_FRONT_END_H_
