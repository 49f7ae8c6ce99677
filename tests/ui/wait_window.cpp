// wait_window [--gone] [--containing] CAPTION [SECONDS]: waits until a
// visible top-level window with that caption exists, puts it in front, has
// it repainted and prints its rectangle as "x y width height" (screen
// pixels). Exit status 0 when found, 1 when not within the time (10 s
// unless given). --gone waits for no such window instead; --containing
// matches any caption that contains CAPTION. Used by the end-to-end test
// to pace its keystrokes and to crop its screenshots.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Search {
  const char* caption;
  bool containing;
  HWND found;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  bool matches = search->containing ? std::strstr(caption, search->caption) != nullptr
                                    : std::strcmp(caption, search->caption) == 0;
  if (IsWindowVisible(window) && matches) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND findWindow(const char* caption, bool containing) {
  Search search = {caption, containing, nullptr};
  EnumWindows(matchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

int main(int argc, char** argv) {
  bool gone = false;
  bool containing = false;
  int first = 1;
  for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
    if (std::strcmp(argv[first], "--gone") == 0) gone = true;
    if (std::strcmp(argv[first], "--containing") == 0) containing = true;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: wait_window [--gone] [--containing] CAPTION [SECONDS]\n");
    return 2;
  }
  const char* caption = argv[first];
  int seconds = argc > first + 1 ? std::atoi(argv[first + 1]) : 10;
  for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(seconds) * 1000;
       Sleep(100)) {
    HWND window = findWindow(caption, containing);
    if (gone && window == nullptr) return 0;
    if (!gone && window != nullptr) {
      SetForegroundWindow(window);
      // A screenshot follows: have every control painted afresh first.
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      RECT rect;
      GetWindowRect(window, &rect);
      std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
      return 0;
    }
  }
  std::fprintf(stderr, "wait_window: %s \"%s\" after %d s\n", gone ? "still" : "no", caption, seconds);
  return 1;
}
