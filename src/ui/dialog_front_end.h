// What a check run needs from Windows: a console window for the progress
// lines and the message boxes of the report path and of a report that could
// not be written. Used by the "CEHCK!" handler of the main dialog.
#ifndef DORVEX_UI_DIALOG_FRONT_END_H_
#define DORVEX_UI_DIALOG_FRONT_END_H_

#include <windows.h>

#include "platform/report_file.h"
#include "workspace/check_run.h"

namespace dorvex {

// Writes the progress lines to the standard output of the console.
class ConsoleProgress : public ProgressSink {
 public:
  void setOutput(HANDLE output) { this->output = output; }
  void write(std::string_view text) override;

 private:
  HANDLE output = nullptr;
};

class DialogFrontEnd : public CheckFrontEnd {
 public:
  explicit DialogFrontEnd(HWND dialog) : dialog(dialog) {}

  // A console of its own when the process has none (AllocConsole); a
  // process that already has one writes there and keeps it. A console of
  // its own cannot be closed by the user while it is open: it has no close
  // box or close command, and Ctrl+C and Ctrl+Break in it are ignored.
  ProgressSink* openProgress() override;
  void closeProgress() override;
  ReportStore& reportStore() override { return reports; }
  // "Report Filename" box, owned by the dialog like every box of a check.
  void showReportPath(const std::string& path) override;
  // "Result File could not open" / "error", owned by the dialog; the
  // reason is not shown, the text being the one the users know.
  void reportNotWritten(const std::string& reason) override;

 private:
  HWND dialog;
  ConsoleProgress console;
  ReportFiles reports;
  bool ownsConsole = false;
};

}  // namespace dorvex

#endif  // DORVEX_UI_DIALOG_FRONT_END_H_
