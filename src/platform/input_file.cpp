#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace dorvex {

namespace {

#ifdef _WIN32
constexpr int kReadFlags = O_RDONLY | O_BINARY;
#else
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC;
#endif

constexpr std::size_t kChunk = 1 << 20;

bool isDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Closes a descriptor however its reading ends, a lack of memory included.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd(fd) {}
  ~Descriptor() { close(fd); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

 private:
  const int fd;
};

// Reads up to `size` bytes into `into`, retrying after an interrupt.
// Returns the count (0 at the end of the file) or -1 with errno set.
long readSome(int fd, char* into, std::size_t size) {
  for (;;) {
    long count = read(fd, into, static_cast<unsigned>(size));
    if (count >= 0 || errno != EINTR) return count;
  }
}

}  // namespace

InputFileStatus readInputFile(const std::string& path, std::size_t lookAhead, std::string& bytes,
                              std::string& reason) {
  bytes.clear();
  const int fd = open(path.c_str(), kReadFlags);
  if (fd < 0) {
    const int error = errno;
    // The Windows C runtime refuses to open a directory at all.
    reason = isDirectory(path) ? "is a directory" : std::strerror(error);
    return InputFileStatus::notOpened;
  }
  Descriptor closer(fd);
  struct stat status {};
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    reason = S_ISDIR(status.st_mode) ? "is a directory" : std::strerror(errno);
    return InputFileStatus::notOpened;
  }
  bool nulSeen = false;
  bool reserved = false;
  for (;;) {
    const std::size_t start = bytes.size();
    bytes.resize(start + kChunk);
    const long count = readSome(fd, bytes.data() + start, kChunk);
    if (count < 0) {
      reason = std::strerror(errno);
      bytes.resize(start);
      return InputFileStatus::readFailed;
    }
    bytes.resize(start + static_cast<std::size_t>(count));
    if (count == 0) break;
    if (!nulSeen)
      nulSeen = std::memchr(bytes.data() + start, 0, static_cast<std::size_t>(count)) != nullptr;
    if (nulSeen && bytes.size() >= lookAhead) break;
    // A whole regular file takes one allocation, made once its first chunk
    // has shown no NUL byte.
    if (!reserved && !nulSeen && S_ISREG(status.st_mode) && status.st_size > 0) {
      bytes.reserve(static_cast<std::size_t>(status.st_size) + kChunk);
      reserved = true;
    }
  }
  return InputFileStatus::read;
}

}  // namespace dorvex
