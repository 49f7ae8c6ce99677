// A fault no test can bring about from outside, injected into the console
// driver by preloading this library (LD_PRELOAD):
//   DORVEX_FAIL_ALLOC_ABOVE=N malloc() and realloc() of more than N bytes
//                             fail, as when memory runs short for one big
//                             file but not for the small ones
// Not for a driver built with the sanitizers, whose allocator this would
// bypass.
#include <cerrno>
#include <cstddef>
#include <cstdlib>

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

namespace {

// getenv() does not allocate, so the limit can be read on the first call.
bool tooLarge(size_t size) {
  static const char* const value = std::getenv("DORVEX_FAIL_ALLOC_ABOVE");
  static const long limit = value ? std::atol(value) : 0;
  return limit > 0 && size > static_cast<size_t>(limit);
}

}  // namespace

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
