// The report store's policy, the same on every platform, over the
// primitives of report_primitives.h; it makes no system call of its own.
#include <cerrno>
#include <cstring>

#include "platform/report_file.h"
#include "platform/report_primitives.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// Six letters or digits for a temporary name. Their only job is to make a
// clash rare; the exclusive create makes it harmless.
std::string randomLetters() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  randomBytes(bytes, sizeof bytes);
  std::string letters;
  for (unsigned char byte : bytes) letters += kAlphabet[byte % (sizeof kAlphabet - 1)];
  return letters;
}

// Creates a temporary file named `prefix` and random letters in `folder`
// and writes `pieces` to it. Returns 0, or the error.
SystemError writeTemporary(ReportFolder& folder, const std::string& prefix,
                           const std::vector<std::string_view>& pieces) {
  SystemError error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    error = folder.createTemporary(prefix + randomLetters());
    if (error == 0 || !isNameTaken(error)) break;
  }
  if (error != 0) return error;
  for (std::string_view piece : pieces) {
    error = folder.write(piece);
    if (error != 0) break;
  }
  const SystemError closed = folder.closeTemporary();
  return error != 0 ? error : closed;
}

}  // namespace

bool ReportFiles::store(std::string_view directory, std::string_view fileName,
                        const std::vector<std::string_view>& pieces, std::string& path,
                        std::string& reason) {
  int number = firstNumber(directory, fileName);
  path = reportPath(directory, numberedFileName(fileName, number));
  ReportFolder folder;
  SystemError error = folder.open(directory);
  if (error == 0) error = writeTemporary(folder, temporaryNamePrefix(fileName), pieces);
  for (; error == 0 && number <= kMaxNumber; ++number) {
    const std::string name = numberedFileName(fileName, number);
    path = reportPath(directory, name);
    error = folder.renameNoReplace(name);
    if (error == 0) {
      took(directory, fileName, number);
      return true;
    }
    if (isNameTaken(error) && number < kMaxNumber) error = 0;
  }
  reason = error != 0 ? errorText(error) : std::strerror(EIO);
  return false;
}

bool NamedReportFile::store(std::string_view, std::string_view,
                            const std::vector<std::string_view>& pieces, std::string& path,
                            std::string& reason) {
  taken = false;
  ReportFolder folder;
  SystemError error = folder.openFolderOf(target);
  if (error == 0) error = writeTemporary(folder, kTemporaryPrefix, pieces);
  if (error == 0) error = folder.renameToEntry(replaceExisting);
  if (error != 0) {
    // A folder at the name is no file that --force could replace.
    taken = isNameTaken(error) && !folder.entryIsFolder();
    reason = errorText(error);
    return false;
  }
  path = target;
  return true;
}

}  // namespace dorvex
