#include "ui/dialog_front_end.h"

#include "ui/front_end.h"
#include "ui/resource.h"

namespace dorvex {

void ConsoleProgress::write(std::string_view text) {
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

ProgressSink* DialogFrontEnd::openProgress() {
  ownsConsole = AllocConsole() != FALSE;
  console.setOutput(GetStdHandle(STD_OUTPUT_HANDLE));
  return &console;
}

void DialogFrontEnd::closeProgress() {
  console.setOutput(nullptr);
  if (ownsConsole) FreeConsole();
  ownsConsole = false;
}

void DialogFrontEnd::showReportPath(const std::string& path) {
  std::string caption = loadText(IDS_REPORT_CAPTION);
  MessageBoxA(dialog, path.c_str(), caption.c_str(), MB_OK);
}

void DialogFrontEnd::reportNotWritten(const std::string&) {
  showMessage(dialog, IDS_NOT_WRITTEN, IDS_ERROR, MB_OK);
}

}  // namespace dorvex
