// Faults no test can bring about from outside, injected into the console
// driver by preloading this library (LD_PRELOAD), each switched on by an
// environment variable:
//   DORVEX_FAIL_READ=N        the N-th read() from a file (a descriptor above
//                             2) fails with EIO
//   DORVEX_SIGNAL_IN_WRITE=S  the first write() to a file writes half its
//                             bytes, then raises signal S
//   DORVEX_NO_RENAMEAT2=1     renameat2() fails with EINVAL, as on a file
//                             system that has no such rename
// Failing allocations are another library's (alloc_shim.cpp): a driver
// built with the sanitizers keeps its own allocator, which a replaced malloc
// would break for every fault here.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

long setting(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atol(value) : 0;
}

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
  static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
  static const long failAt = setting("DORVEX_FAIL_READ");
  static long calls = 0;
  if (fd > 2 && failAt > 0 && ++calls == failAt) {
    errno = EIO;
    return -1;
  }
  return real(fd, buffer, size);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t size) {
  static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
  static long signal = setting("DORVEX_SIGNAL_IN_WRITE");
  if (fd > 2 && signal > 0 && size > 1) {
    ssize_t written = real(fd, buffer, size / 2);
    const int raised = static_cast<int>(signal);
    signal = 0;
    raise(raised);
    return written;
  }
  return real(fd, buffer, size);
}

extern "C" int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to,
                         unsigned flags) {
  static const auto real = next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  if (setting("DORVEX_NO_RENAMEAT2") != 0) {
    errno = EINVAL;
    return -1;
  }
  return real(fromDirectory, from, toDirectory, to, flags);
}
