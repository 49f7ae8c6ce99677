// The few calls of the system beneath the report store (report_store.cpp):
// create a file exclusively, write, close, rename without or with
// replacing, remove, and a few random bytes. The policy, how a report is
// written safely beside other checks and planted names, is written once
// over them; each platform supplies only these, in
// report_primitives_posix.cpp and report_primitives_win32.cpp.
//
// A ReportFolder holds one open folder and at most one temporary file in
// it. Until that file is renamed or removed, an interrupt of the console
// driver removes it (handleSignalsOfReportWrites(), report_file.h).
#ifndef DORVEX_PLATFORM_REPORT_PRIMITIVES_H_
#define DORVEX_PLATFORM_REPORT_PRIMITIVES_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace dorvex {

// An error of the system: 0 none, else errno (POSIX) or GetLastError()
// (Windows).
using SystemError = unsigned long;

// The C library's text for `error` (as strerror gives it), so that both
// platforms say the same.
std::string errorText(SystemError error);

// Whether `error` says that something is at a name already.
bool isNameTaken(SystemError error);

// Fills `bytes` with bytes that differ from run to run and from process to
// process; not for secrets.
void randomBytes(unsigned char* bytes, std::size_t size);

class ReportFolder {
 public:
  ReportFolder();
  // Closes the folder, and the temporary file, which it removes unless it
  // has been renamed.
  ~ReportFolder();
  ReportFolder(const ReportFolder&) = delete;
  ReportFolder& operator=(const ReportFolder&) = delete;

  // Opens the folder `directory` ("": the current one), which must be a
  // folder. Returns 0 or the error.
  SystemError open(std::string_view directory);
  // Opens the folder that holds the entry `path` names, and keeps that
  // entry for renameToEntry() and entryIsFolder(). A path that names a
  // folder itself (ending in a separator, "." or "..") fails with the
  // error whose text is "Is a directory".
  SystemError openFolderOf(const std::string& path);

  // Creates the temporary file `name` (ASCII) in the folder, exclusively:
  // nothing at the name is followed or opened, and a name taken fails
  // (isNameTaken()). REQUIRES: no temporary file is open.
  SystemError createTemporary(const std::string& name);
  // Writes all of `bytes` to the temporary file.
  SystemError write(std::string_view bytes);
  // Closes the temporary file, which stays until renamed or removed. Some
  // file systems tell of a failed write only here.
  SystemError closeTemporary();

  // Gives the temporary file the name `name` (ASCII) unless anything at all
  // is there (then isNameTaken()).
  SystemError renameNoReplace(const std::string& name);
  // Gives it the name of the entry of openFolderOf(): unless anything is
  // there, or with `replace` in one step whatever file or link is there
  // (the link itself, never its target).
  SystemError renameToEntry(bool replace);
  // Whether a folder stands at the entry of openFolderOf() (not followed).
  bool entryIsFolder() const;

 private:
  struct Native;
  std::unique_ptr<Native> native;
};

}  // namespace dorvex

#endif  // DORVEX_PLATFORM_REPORT_PRIMITIVES_H_
