// wait_window --clipboard FILE: puts the bytes of FILE on the clipboard as
// text, for the end-to-end run to paste.
// wait_window [OPTIONS] CAPTION [SECONDS]: waits until a visible top-level
// window with that caption is in the state asked for, and prints where it
// is, for the end-to-end run to click, type and take pictures by what the
// running program shows rather than by computed coordinates.
//
//   (none)          the window exists; it is put in front and repainted,
//                   and its rectangle is printed
//   --gone          no such window is left
//   --containing    CAPTION may be any part of the caption
//   --control ID    the control with that ID in the window: its rectangle
//                   is printed
//   --text FILE     ... and its text is the text of FILE, line ends as
//                   CR LF (on a timeout the first difference is told)
//   --checked       ... and it is a checked button
//   --focused       ... and it has the keyboard focus
//   --enabled       the window (and the control) take input
//   --disabled      the window or the control takes no input
//   --close-box     print the centre of the window's close box instead
//
// Rectangles are printed as "x y width height" in screen pixels, points as
// "x y". Exit status 0 when the state was reached, 1 when not within the
// time (10 s unless given), 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
  bool gone = false;
  bool containing = false;
  int control = 0;  // 0: the window itself
  const char* textFile = nullptr;
  bool checked = false;
  bool focused = false;
  bool enabled = false;
  bool disabled = false;
  bool closeBox = false;
  const char* caption = nullptr;
  int seconds = 10;
};

struct Search {
  const Options* options;
  HWND found;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  bool matches = search->options->containing
                     ? std::strstr(caption, search->options->caption) != nullptr
                     : std::strcmp(caption, search->options->caption) == 0;
  if (IsWindowVisible(window) && matches) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND findWindow(const Options& options) {
  Search search = {&options, nullptr};
  EnumWindows(matchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control's text, asked for by message: GetWindowTextA gives only the
// caption that the system keeps for a window of another process.
std::string windowText(HWND window) {
  auto length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  auto copied = static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                              reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

// FILE's bytes with every LF that has no CR before it given one.
bool expectedText(const char* path, std::string& text) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  int c;
  char previous = 0;
  while ((c = std::fgetc(file)) != EOF) {
    if (c == '\n' && previous != '\r') text += '\r';
    text += static_cast<char>(c);
    previous = static_cast<char>(c);
  }
  std::fclose(file);
  return true;
}

// The window that has the keyboard focus in the thread of `window`.
HWND focusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// The centre of the close box: the first point from the right end of the
// caption that the window itself calls its close box.
bool closeBoxOf(HWND window, POINT& point) {
  RECT frame;
  GetWindowRect(window, &frame);
  int y = frame.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  int right = -1;
  for (int x = frame.right - 1; x > frame.left; --x) {
    bool onBox = SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
    if (onBox && right < 0) right = x;
    if (!onBox && right >= 0) {
      point = {(x + 1 + right) / 2, y};
      return true;
    }
  }
  return false;
}

void printRect(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
}

bool parse(int argc, char** argv, Options& options) {
  int at = 1;
  for (; at < argc && std::strncmp(argv[at], "--", 2) == 0; ++at) {
    std::string option = argv[at];
    bool hasValue = at + 1 < argc;
    if (option == "--gone") {
      options.gone = true;
    } else if (option == "--containing") {
      options.containing = true;
    } else if (option == "--control" && hasValue) {
      options.control = std::atoi(argv[++at]);
    } else if (option == "--text" && hasValue) {
      options.textFile = argv[++at];
    } else if (option == "--checked") {
      options.checked = true;
    } else if (option == "--focused") {
      options.focused = true;
    } else if (option == "--enabled") {
      options.enabled = true;
    } else if (option == "--disabled") {
      options.disabled = true;
    } else if (option == "--close-box") {
      options.closeBox = true;
    } else {
      return false;
    }
  }
  if (at >= argc) return false;
  options.caption = argv[at];
  if (at + 1 < argc) options.seconds = std::atoi(argv[at + 1]);
  bool needsControl = options.textFile != nullptr || options.checked || options.focused;
  return !needsControl || options.control != 0;
}

}  // namespace

int putOnClipboard(const char* path) {
  std::string bytes;
  if (std::FILE* file = std::fopen(path, "rb")) {
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
      bytes.append(buffer, got);
    std::fclose(file);
  } else {
    std::fprintf(stderr, "wait_window: cannot read %s\n", path);
    return 2;
  }
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + 1);
  if (memory == nullptr || !OpenClipboard(nullptr)) return 1;
  std::memcpy(GlobalLock(memory), bytes.c_str(), bytes.size() + 1);
  GlobalUnlock(memory);
  EmptyClipboard();
  bool put = SetClipboardData(CF_TEXT, memory) != nullptr;
  CloseClipboard();
  return put ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--clipboard") == 0) return putOnClipboard(argv[2]);
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(
        stderr,
        "usage: wait_window [--gone] [--containing] [--control ID [--text FILE] [--checked]"
        " [--focused]] [--enabled|--disabled] [--close-box] CAPTION [SECONDS]\n");
    return 2;
  }
  std::string expected;
  if (options.textFile != nullptr && !expectedText(options.textFile, expected)) {
    std::fprintf(stderr, "wait_window: cannot read %s\n", options.textFile);
    return 2;
  }
  std::string lastSeen = "no window";
  for (DWORD start = GetTickCount();
       GetTickCount() - start < static_cast<DWORD>(options.seconds) * 1000; Sleep(100)) {
    HWND window = findWindow(options);
    if (options.gone) {
      if (window == nullptr) return 0;
      continue;
    }
    if (window == nullptr) continue;
    HWND target = options.control != 0 ? GetDlgItem(window, options.control) : window;
    if (target == nullptr) {
      lastSeen = "no control " + std::to_string(options.control);
      continue;
    }
    if (options.textFile != nullptr) {
      std::string text = windowText(target);
      if (text != expected) {
        std::size_t same = 0;
        while (same < text.size() && same < expected.size() && text[same] == expected[same]) ++same;
        lastSeen = "text of " + std::to_string(text.size()) + " bytes, the expected " +
                   std::to_string(expected.size()) + " up to byte " + std::to_string(same);
        continue;
      }
    }
    if (options.checked && SendMessageA(target, BM_GETCHECK, 0, 0) != BST_CHECKED) {
      lastSeen = "not checked";
      continue;
    }
    if (options.focused && focusOf(window) != target) {
      lastSeen = "not focused";
      continue;
    }
    bool takesInput = IsWindowEnabled(window) && IsWindowEnabled(target);
    if ((options.enabled && !takesInput) || (options.disabled && takesInput)) {
      lastSeen = options.enabled ? "disabled" : "enabled";
      continue;
    }
    if (options.closeBox) {
      POINT point;
      if (!closeBoxOf(window, point)) {
        lastSeen = "no close box";
        continue;
      }
      std::printf("%ld %ld\n", point.x, point.y);
      return 0;
    }
    if (options.control == 0) {
      SetForegroundWindow(window);
      // A screenshot may follow: have every control painted afresh first.
      RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    printRect(target);
    return 0;
  }
  std::fprintf(stderr, "wait_window: \"%s\"%s after %d s: %s\n", options.caption,
               options.gone ? " still there" : " not as asked", options.seconds,
               options.gone ? "" : lastSeen.c_str());
  return 1;
}
