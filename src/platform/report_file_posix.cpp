// ReportFiles on POSIX: every call is relative to the output directory,
// opened once, so that the temporary file and the report are created in the
// same directory whatever happens to its path meanwhile.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/report_file.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// The temporary file being written, for the interrupt handler: the
// directory it lies in (-1: none being written) and its name.
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

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd(fd) {}
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  const int fd;
};

// The temporary file of one store() call, from its exclusive creation until
// it is renamed or removed; removed when the call ends any other way.
class TemporaryFile {
 public:
  explicit TemporaryFile(int directory) : directory(directory) {}
  ~TemporaryFile() { remove(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates the file `name` for writing; returns its descriptor, or -1 with
  // errno set (EEXIST when anything at all is there).
  int create(const std::string& name) {
    if (name.size() >= sizeof pendingName) {
      errno = ENAMETOOLONG;
      return -1;
    }
    InterruptsHeld held;
    // 0666: the report's mode is the umask's, as for any file the user makes.
    int fd =
        openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      std::memcpy(pendingName, name.c_str(), name.size() + 1);
      pendingDirectory = directory;
    }
    return fd;
  }

  // Gives the file the name `report` unless something is there already.
  // Returns 0, or the error (EEXIST when the name is taken).
  int claim(const std::string& report) {
    InterruptsHeld held;
#ifdef RENAME_NOREPLACE
    if (renameat2(directory, pendingName, directory, report.c_str(), RENAME_NOREPLACE) == 0) {
      pendingDirectory = -1;
      return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
    // A file system without such a rename: a second link, which fails as
    // well when the name is taken, then the temporary name goes.
    if (linkat(directory, pendingName, directory, report.c_str(), 0) != 0) return errno;
    unlinkat(directory, pendingName, 0);
    pendingDirectory = -1;
    return 0;
  }

  // Gives the file the name `name` in one step, whatever is there: a file
  // or a link is replaced itself, never followed. Returns 0 or the error.
  int replace(const std::string& name) {
    InterruptsHeld held;
    if (renameat(directory, pendingName, directory, name.c_str()) != 0) return errno;
    pendingDirectory = -1;
    return 0;
  }

  void remove() {
    InterruptsHeld held;
    if (pendingDirectory >= 0) unlinkat(directory, pendingName, 0);
    pendingDirectory = -1;
  }

 private:
  const int directory;
};

// Six letters or digits for a temporary name. Their only job is to make a
// clash rare; the exclusive create makes it harmless.
std::string randomLetters() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned counter = 0;
  unsigned char bytes[6];
  if (getentropy(bytes, sizeof bytes) != 0) {
    unsigned mix = static_cast<unsigned>(getpid()) * 2654435761u + ++counter * 40503u;
    for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(mix >>= 3);
  }
  std::string letters;
  for (unsigned char byte : bytes) letters += kAlphabet[byte % (sizeof kAlphabet - 1)];
  return letters;
}

bool writeAll(int fd, const std::vector<std::string_view>& pieces) {
  for (std::string_view piece : pieces) {
    const char* next = piece.data();
    std::size_t left = piece.size();
    while (left > 0) {
      ssize_t written = write(fd, next, left < (1u << 30) ? left : (1u << 30));
      if (written < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      next += written;
      left -= static_cast<std::size_t>(written);
    }
  }
  return true;
}

// Creates a temporary file named `prefix` and random letters and writes
// `pieces` to it. Returns 0, or the error.
int writeTemporary(TemporaryFile& temporary, const std::string& prefix,
                   const std::vector<std::string_view>& pieces) {
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    fd = temporary.create(prefix + randomLetters());
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return errno;
  int error = writeAll(fd, pieces) ? 0 : errno;
  // Some file systems tell of a failed write only at the close.
  if (close(fd) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

bool ReportFiles::store(std::string_view directory, std::string_view fileName,
                        const std::vector<std::string_view>& pieces, std::string& path,
                        std::string& reason) {
  const std::string directoryName = directory.empty() ? "." : std::string(directory);
  Descriptor folder(open(directoryName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  TemporaryFile temporary(folder.fd);
  int error = writeTemporary(temporary, temporaryNamePrefix(fileName), pieces);
  for (int number = firstNumber(directory, fileName); error == 0 && number <= kMaxNumber;
       ++number) {
    const std::string name = numberedFileName(fileName, number);
    std::string candidate = reportPath(directory, name);
    error = temporary.claim(name);
    if (error == 0) {
      took(directory, fileName, number);
      path = std::move(candidate);
      return true;
    }
    if (error == EEXIST) error = number < kMaxNumber ? 0 : EEXIST;
  }
  reason = std::strerror(error != 0 ? error : EIO);
  return false;
}

bool NamedReportFile::store(std::string_view, std::string_view,
                            const std::vector<std::string_view>& pieces, std::string& path,
                            std::string& reason) {
  taken = false;
  // Only the slash separates: a backslash is a byte of the name here.
  const std::size_t slash = target.rfind('/');
  const std::string name = target.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty() || name == "." || name == "..") {
    reason = std::strerror(EISDIR);
    return false;
  }
  const std::string directoryName = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  Descriptor folder(open(directoryName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  TemporaryFile temporary(folder.fd);
  int error = writeTemporary(temporary, kTemporaryPrefix, pieces);
  if (error == 0) {
    error = replaceExisting ? temporary.replace(name) : temporary.claim(name);
  }
  if (error != 0) {
    taken = error == EEXIST;
    reason = std::strerror(error);
    return false;
  }
  path = target;
  return true;
}

void removeTemporaryReportOnInterrupt() {
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

}  // namespace dorvex
