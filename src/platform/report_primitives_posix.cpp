// The report primitives on POSIX: every call is relative to the folder,
// opened once, so that the temporary file and the report are created in the
// same folder whatever happens to its path meanwhile.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/report_file.h"
#include "platform/report_primitives.h"

namespace dorvex {

namespace {

// The temporary file being written, for the interrupt handler: the folder
// it lies in (-1: none being written) and its name.
volatile sig_atomic_t pendingDirectory = -1;
char pendingName[256];

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t interruptSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kInterrupts) sigaddset(&set, signal);
  return set;
}

// Holds the interrupts back while the temporary file comes or goes, so that
// the handler never sees a name without its file or a file without its name.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    const sigset_t held = interruptSet();
    sigprocmask(SIG_BLOCK, &held, &previous);
  }
  ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t previous;
};

extern "C" void onInterrupt(int signal) {
  if (pendingDirectory >= 0) unlinkat(pendingDirectory, pendingName, 0);
  // SA_RESETHAND has put back the default action; let it act at once.
  sigset_t self;
  sigemptyset(&self);
  sigaddset(&self, signal);
  sigprocmask(SIG_UNBLOCK, &self, nullptr);
  raise(signal);
  _exit(128 + signal);
}

SystemError lastError() { return static_cast<SystemError>(errno); }

}  // namespace

struct ReportFolder::Native {
  int folder = -1;
  int file = -1;
  bool pending = false;  // the temporary file exists under pendingName
  std::string entry;     // the entry of openFolderOf()
};

std::string errorText(SystemError error) { return std::strerror(static_cast<int>(error)); }

bool isNameTaken(SystemError error) { return error == EEXIST; }

void randomBytes(unsigned char* bytes, std::size_t size) {
  if (getentropy(bytes, size) == 0) return;
  static unsigned counter = 0;
  unsigned mix = static_cast<unsigned>(getpid()) * 2654435761u + ++counter * 40503u;
  for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<unsigned char>(mix >>= 3);
}

ReportFolder::ReportFolder() : native(new Native) {}

ReportFolder::~ReportFolder() {
  if (native->file >= 0) close(native->file);
  if (native->pending) {
    InterruptsHeld held;
    unlinkat(native->folder, pendingName, 0);
    pendingDirectory = -1;
  }
  if (native->folder >= 0) close(native->folder);
}

SystemError ReportFolder::open(std::string_view directory) {
  const std::string name = directory.empty() ? "." : std::string(directory);
  native->folder = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return native->folder < 0 ? lastError() : 0;
}

SystemError ReportFolder::openFolderOf(const std::string& path) {
  // Only the slash separates: a backslash is a byte of the name here.
  const std::size_t slash = path.rfind('/');
  native->entry = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (native->entry.empty() || native->entry == "." || native->entry == "..") return EISDIR;
  return open(slash == std::string::npos ? std::string_view(".")
                                         : std::string_view(path).substr(0, slash + 1));
}

SystemError ReportFolder::createTemporary(const std::string& name) {
  if (name.size() >= sizeof pendingName) return ENAMETOOLONG;
  InterruptsHeld held;
  // 0666: the report's mode is the umask's, as for any file the user makes.
  native->file = openat(native->folder, name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (native->file < 0) return lastError();
  std::memcpy(pendingName, name.c_str(), name.size() + 1);
  pendingDirectory = native->folder;
  native->pending = true;
  return 0;
}

SystemError ReportFolder::write(std::string_view bytes) {
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(native->file, next, left < (1u << 30) ? left : (1u << 30));
    if (written < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  return 0;
}

SystemError ReportFolder::closeTemporary() {
  const int file = native->file;
  native->file = -1;
  return close(file) != 0 ? lastError() : 0;
}

SystemError ReportFolder::renameNoReplace(const std::string& name) {
  InterruptsHeld held;
#ifdef RENAME_NOREPLACE
  if (renameat2(native->folder, pendingName, native->folder, name.c_str(), RENAME_NOREPLACE) == 0) {
    native->pending = false;
    pendingDirectory = -1;
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return lastError();
#endif
  // A file system without such a rename: a second link, which fails as
  // well when the name is taken, then the temporary name goes.
  if (linkat(native->folder, pendingName, native->folder, name.c_str(), 0) != 0) return lastError();
  unlinkat(native->folder, pendingName, 0);
  native->pending = false;
  pendingDirectory = -1;
  return 0;
}

SystemError ReportFolder::renameToEntry(bool replace) {
  if (!replace) return renameNoReplace(native->entry);
  InterruptsHeld held;
  if (renameat(native->folder, pendingName, native->folder, native->entry.c_str()) != 0)
    return lastError();
  native->pending = false;
  pendingDirectory = -1;
  return 0;
}

bool ReportFolder::entryIsFolder() const {
  struct stat status {};
  return native->folder >= 0 && !native->entry.empty() &&
         fstatat(native->folder, native->entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(status.st_mode);
}

void handleSignalsOfReportWrites() {
  // A write past the file-size limit then fails with EFBIG, which is told
  // and cleaned up as a full disk is, instead of ending the driver at once.
  signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  action.sa_mask = interruptSet();
  action.sa_flags = SA_RESETHAND;
  for (int signal : kInterrupts) {
    struct sigaction previous {};
    // An interrupt the caller ignores (nohup) stays ignored.
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

}  // namespace dorvex
