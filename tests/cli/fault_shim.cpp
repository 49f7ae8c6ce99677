// Faults no test can bring about from outside, injected into the console
// driver by preloading this library (LD_PRELOAD), each switched on by an
// environment variable:
//   DORVEX_FAIL_READ=N        the N-th read() from a file (a descriptor above
//                             2) fails with EIO
//   DORVEX_SIGNAL_IN_WRITE=S  the first write() to a file writes half its
//                             bytes, then raises signal S
//   DORVEX_NO_RENAMEAT2=1     renameat2() fails with EINVAL, as on a file
//                             system that has no such rename
//   DORVEX_FAIL_ALLOC_ABOVE=N malloc() and realloc() of more than N bytes
//                             fail, as when memory runs short for one big
//                             file but not for the small ones
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

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

// getenv() does not allocate, so the limit can be read on the first call.
static bool tooLarge(size_t size) {
  static const long limit = setting("DORVEX_FAIL_ALLOC_ABOVE");
  return limit > 0 && size > static_cast<size_t>(limit);
}

extern "C" void* malloc(size_t size) {
  if (tooLarge(size)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(size);
}

extern "C" void* realloc(void* block, size_t size) {
  if (tooLarge(size)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_realloc(block, size);
}
