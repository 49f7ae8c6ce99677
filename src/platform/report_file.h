// The report file on disk: the ReportStores (workspace/check_run.h) of this
// platform, ReportFiles, which the console driver and both Windows programs
// hand to the check, and NamedReportFile for a name the user chooses; and
// the console driver's clean-up on interrupts. The policy below is written
// once (report_store.cpp) over the few system calls of
// report_primitives.h, which each platform supplies.
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

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "workspace/check_run.h"

namespace dorvex {

class ReportFiles : public ReportStore {
 public:
  // See ReportStore::store. On failure `reason` is the system's text for the
  // error (as strerror gives it), and `path` the path the report was being
  // written for: the name tried last, or, when no name was tried yet, the
  // first it would have tried. Names are tried up to kMaxNumber. After
  // this store has taken the N-th name for `fileName` in `directory`, it
  // starts there next time at the (N+1)-th: the ones before are taken, and
  // a run that writes many reports within one second must not try them all
  // again for each (which grows as the square of their number).
  bool store(std::string_view directory, std::string_view fileName,
             const std::vector<std::string_view>& pieces, std::string& path,
             std::string& reason) override;

  static constexpr int kMaxNumber = 9999;

 private:
  int firstNumber(std::string_view directory, std::string_view fileName) const {
    const bool again = directory == lastDirectory && fileName == lastFileName;
    return again ? std::min(lastNumber + 1, kMaxNumber) : 1;
  }
  void took(std::string_view directory, std::string_view fileName, int number) {
    lastDirectory = directory;
    lastFileName = fileName;
    lastNumber = number;
  }

  std::string lastDirectory, lastFileName;
  int lastNumber = 0;
};

// The report under a name the user gives (the console driver's --report
// FILE), written the same way: to a temporary file of its own beside it
// (".dorvex-report.tmp-XXXXXX"), created exclusively, which takes exactly
// that name once complete. An existing entry at the name, whatever it is,
// is never followed or opened: without `replace` the store fails and leaves
// it; with `replace` a file or link there is replaced in one step (the
// link itself, not its target), so no reader ever sees a part of the
// report; a folder there is never replaced. store() ignores the directory
// and the name the check proposes.
class NamedReportFile : public ReportStore {
 public:
  NamedReportFile(std::string path, bool replace)
      : target(std::move(path)), replaceExisting(replace) {}

  // See above. On success `path` is the path given; on failure `reason` is
  // the system's text for the error.
  bool store(std::string_view directory, std::string_view fileName,
             const std::vector<std::string_view>& pieces, std::string& path,
             std::string& reason) override;

  // Whether the last store() failed because a file or link (not a folder)
  // holds the name, which `replace` would have replaced.
  bool nameTaken() const { return taken; }

  static constexpr char kTemporaryPrefix[] = ".dorvex-report.tmp-";

 private:
  std::string target;
  bool replaceExisting;
  bool taken = false;
};

// For the console driver, called once at its start: an interrupt (POSIX:
// SIGINT, SIGTERM, SIGHUP; Windows: Ctrl+C, Ctrl+Break, closing the
// console) that comes while a report is being written removes its
// temporary file, then ends the process as the interrupt would have (a
// POSIX shell sees the status 128 + the signal number). Outside a write
// the interrupts end the process as before. On POSIX, SIGXFSZ is ignored:
// a write past the file-size limit fails with "File too large" and is
// handled as a full disk is, nothing left behind.
void handleSignalsOfReportWrites();

// Whether the console driver's standard output is a terminal (not a pipe
// or a file), where its findings may be in colour.
bool stdoutIsTerminal();

}  // namespace dorvex

#endif  // DORVEX_PLATFORM_REPORT_FILE_H_
