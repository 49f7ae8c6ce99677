// The report file on disk: the ReportStore (workspace/check_run.h) of this
// platform, which the console driver and both Windows programs hand to the
// check, and the console driver's clean-up on interrupts. One source per
// platform: report_file_posix.cpp, report_file_win32.cpp.
//
// A report is written to a temporary file of its own, created exclusively
// under a random name beside the report (".Result<stamp>.tmp-XXXXXX", which
// no one takes for a report), and only once complete given its name by a
// rename or link that never replaces: the first free name of
// Result<stamp>.txt, Result<stamp>-2.txt, ... So checks running at once into
// one folder never share, replace or lose each other's reports, and nothing
// planted in the folder, a link or a FIFO at any of these names, is ever
// followed, opened or removed.
#ifndef DORVEX_PLATFORM_REPORT_FILE_H_
#define DORVEX_PLATFORM_REPORT_FILE_H_

#include <string>
#include <string_view>
#include <vector>

#include "workspace/check_run.h"

namespace dorvex {

class ReportFiles : public ReportStore {
 public:
  // See ReportStore::store. On failure `reason` is the system's text for the
  // error (as strerror gives it). Names are tried up to kMaxNumber.
  bool store(std::string_view directory, std::string_view fileName,
             const std::vector<std::string_view>& pieces, std::string& path,
             std::string& reason) override;

  static constexpr int kMaxNumber = 9999;
};

// For the console driver, called once at its start: an interrupt (POSIX:
// SIGINT, SIGTERM, SIGHUP; Windows: Ctrl+C, Ctrl+Break, closing the
// console) that comes while a report is being written removes its
// temporary file, then ends the process as the interrupt would have (a
// POSIX shell sees the status 128 + the signal number). Outside a write
// the interrupts end the process as before.
void removeTemporaryReportOnInterrupt();

}  // namespace dorvex

#endif  // DORVEX_PLATFORM_REPORT_FILE_H_
