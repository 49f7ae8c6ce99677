// The harness of the dialog tests (see ui_harness.h).
#include "ui_harness.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <map>
#include <utility>

#include "ui/front_end.h"
#include "ui/resource.h"

namespace uitest {

int passed = 0;
int failed = 0;
std::vector<Box> boxes;
std::deque<WindowAction> resultActions;
std::deque<WindowAction> aboutActions;
std::deque<WindowAction> browserActions;
HWND mainDialog = nullptr;
std::function<void(HWND, UINT)> sentMessageWatcher;
const CWPRETSTRUCT* watchedMessage = nullptr;

namespace {

HWND helperWindow = nullptr;
HHOOK hook = nullptr;
std::string lastProgress;
std::vector<std::pair<std::string, WindowAction>> boxActions;
constexpr UINT kWindowOpened = WM_APP + 1;

}  // namespace

// ---- results ----------------------------------------------------------------

std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text.substr(0, 200)) {
    char hex[8];
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return text.size() > 200 ? out + "..." : out;
}

void check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

void checkEq(const std::string& got, const std::string& want, const std::string& what) {
  check(got == want, what + ": got \"" + printable(got) + "\", want \"" + printable(want) + "\"");
}

// ---- small Windows helpers ---------------------------------------------------

std::string text(HWND window) { return dorvex::windowText(window); }
std::string itemText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }

bool writeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool readFile(const std::string& path, std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.assign(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  BOOL ok = bytes.empty() ||
            ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return ok && read == bytes.size();
}

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

std::string makeTestFolder() {
  std::string folder = "C:\\dorvex-ui-test-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// Lets posted messages run, outside any modal loop.
void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool waitFor(const std::function<bool()>& done, int seconds) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > static_cast<DWORD>(seconds) * 1000) return done();
    pumpMessages();
    Sleep(10);
  }
  return true;
}

// ---- real input, as a user gives it ----------------------------------------

bool placeCursor(POINT point) {
  // Under X the pointer moves asynchronously: wait until the position has
  // settled where it was put, or a late motion of an earlier move could
  // be what the receiver reads.
  int settled = 0;
  for (int tries = 0; tries < 200 && settled < 3; ++tries) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (cursor.x == point.x && cursor.y == point.y) {
      ++settled;
    } else {
      settled = 0;
      SetCursorPos(point.x, point.y);
    }
    pumpMessages();
    Sleep(10);
  }
  return settled == 3;
}

void clickAt(POINT point) {
  check(placeCursor(point),
        "pointer placed at " + std::to_string(point.x) + "," + std::to_string(point.y));
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, clicks, sizeof(INPUT));
}

void pressKey(WORD key, WORD modifier) {
  std::vector<INPUT> keys;
  auto add = [&keys](WORD code, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.dwFlags = flags;
    keys.push_back(input);
  };
  if (modifier != 0) add(modifier, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (modifier != 0) add(modifier, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

unsigned long Picture::at(int x, int y) const {
  std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
  std::size_t offset =
      rowBytes * static_cast<std::size_t>(height - 1 - y) + static_cast<std::size_t>(x) * 3;
  auto byte = [this](std::size_t i) {
    return static_cast<unsigned long>(static_cast<unsigned char>(pixels[i]));
  };
  return byte(offset + 2) << 16 | byte(offset + 1) << 8 | byte(offset);
}

// The header of a bottom-up 24-bit picture of `picture`'s size, as both
// GetDIBits and a .bmp file take it.
static BITMAPINFOHEADER bitmapHeader(const Picture& picture) {
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = picture.width;
  info.biHeight = picture.height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  return info;
}

Picture takePicture(HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  Picture picture;
  picture.width = frame.right - frame.left;
  picture.height = frame.bottom - frame.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.width, picture.height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = bitmapHeader(picture);
  std::size_t rowBytes =
      (static_cast<std::size_t>(picture.width) * 3 + 3) & ~static_cast<std::size_t>(3);
  picture.pixels.assign(rowBytes * static_cast<std::size_t>(picture.height), '\0');
  GetDIBits(memory, bitmap, 0, picture.height, picture.pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

namespace {

// Runs `paint` on a memory DC over a 24-bit picture of the given size.
Picture paintInto(int width, int height, const std::function<void(HDC)>& paint) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  paint(memory);
  GdiFlush();
  std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
  picture.pixels.assign(static_cast<const char*>(bits),
                        rowBytes * static_cast<std::size_t>(height));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return picture;
}

}  // namespace

Picture paintedBy(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  return paintInto(client.right, client.bottom, [control](HDC dc) {
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                 PRF_CLIENT | PRF_ERASEBKGND);
  });
}

Picture drawnText(HWND control, const std::string& text, UINT format) {
  RECT client;
  GetClientRect(control, &client);
  return paintInto(client.right, client.bottom, [&](HDC dc) {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    RECT area = client;
    DrawTextA(dc, text.c_str(), -1, &area, format);
    SelectObject(dc, old);
  });
}

std::vector<bool> ink(const Picture& picture) {
  std::map<unsigned long, int> counts;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) ++counts[picture.at(x, y)];
  }
  unsigned long background = 0;
  int most = 0;
  for (const auto& [colour, count] : counts) {
    if (count > most) {
      most = count;
      background = colour;
    }
  }
  std::vector<bool> marks;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) marks.push_back(picture.at(x, y) != background);
  }
  return marks;
}

bool savePicture(const Picture& picture, const std::string& path) {
  BITMAPINFOHEADER info = bitmapHeader(picture);
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(picture.pixels.size());
  std::string file(reinterpret_cast<const char*>(&header), sizeof header);
  file.append(reinterpret_cast<const char*>(&info), sizeof info);
  return writeFile(path, file + picture.pixels);
}

// ---- modal windows opened by the handlers ----------------------------------

namespace {

BOOL CALLBACK collectStatic(HWND child, LPARAM out) {
  char className[32] = {};
  GetClassNameA(child, className, sizeof className);
  std::string childText = text(child);
  bool isIcon = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
  if (lstrcmpiA(className, "Static") == 0 && !isIcon && !childText.empty()) {
    *reinterpret_cast<std::string*>(out) += childText;
  }
  return TRUE;
}

BOOL CALLBACK findTree(HWND child, LPARAM found) {
  char className[32] = {};
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "SysTreeView32") == 0) *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

}  // namespace

std::string staticTexts(HWND window) {
  std::string all;
  EnumChildWindows(window, collectStatic, reinterpret_cast<LPARAM>(&all));
  return all;
}

namespace {

void answerBox(HWND box) {
  std::string caption = text(box);
  for (auto action = boxActions.begin(); action != boxActions.end(); ++action) {
    if (action->first == caption) {
      WindowAction run = std::move(action->second);
      boxActions.erase(action);
      run(box);
      break;
    }
  }
  boxes.push_back({text(box), staticTexts(box), GetWindow(box, GW_OWNER)});
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

void runNext(std::deque<WindowAction>& actions, HWND window, const char* kind) {
  if (actions.empty()) {
    check(false, std::string("no ") + kind + " dialog expected here");
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  WindowAction action = std::move(actions.front());
  actions.pop_front();
  action(window);
}

bool isProgressWindow(HWND window) { return GetDlgItem(window, IDC_PROGRESS_TEXT) != nullptr; }

void onWindowOpened(HWND window) {
  if (!IsWindow(window) || window == mainDialog || isProgressWindow(window)) return;
  std::string caption = text(window);
  bool isBrowser = false;
  EnumChildWindows(window, findTree, reinterpret_cast<LPARAM>(&isBrowser));
  if (caption == "Compare Result") {
    runNext(resultActions, window, "result");
  } else if (caption == kAboutCaption) {
    runNext(aboutActions, window, "About");
  } else if (isBrowser) {
    runNext(browserActions, window, "folder browser");
  } else {
    answerBox(window);
  }
}

LRESULT CALLBACK helperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWindowOpened) {
    onWindowOpened(reinterpret_cast<HWND>(lParam));
    return 0;
  }
  if (message == WM_TIMER) {
    KillTimer(window, wParam);
    HWND dialog = reinterpret_cast<HWND>(wParam);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
      check(false, "dialog \"" + printable(text(dialog)) + "\" did not close");
      EndDialog(dialog, IDABORT);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK afterMessage(int code, WPARAM wParam, LPARAM lParam) {
  const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_INITDIALOG) {
    PostMessageA(helperWindow, kWindowOpened, 0, reinterpret_cast<LPARAM>(sent->hwnd));
  }
  if (code == HC_ACTION && sent->message == WM_DESTROY && isProgressWindow(sent->hwnd))
    lastProgress = itemText(sent->hwnd, IDC_PROGRESS_TEXT);
  if (code == HC_ACTION && sentMessageWatcher) {
    watchedMessage = sent;
    sentMessageWatcher(sent->hwnd, sent->message);
    watchedMessage = nullptr;
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

void onBox(const std::string& caption, WindowAction action) {
  boxActions.emplace_back(caption, std::move(action));
}

void closeLater(HWND dialog) {
  SetTimer(helperWindow, reinterpret_cast<UINT_PTR>(dialog), 3000, nullptr);
}

void pressEscape(HWND dialog) {
  PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
  closeLater(dialog);
}

// ---- the main dialog --------------------------------------------------------

HWND openMainDialog() {
  mainDialog = nullptr;
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                   dorvex::mainDialogProc, 0);
  mainDialog = dialog;
  SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  pumpMessages();
  return dialog;
}

void closeMainDialog(HWND dialog) {
  DestroyWindow(dialog);
  MSG quit;
  // WM_DESTROY posts the quit message that ends the program's message loop.
  bool posted = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  check(posted && quit.wParam == 0, "WM_DESTROY posts WM_QUIT with code 0");
  mainDialog = nullptr;
}

HDROP makeDrop(const std::vector<std::string>& paths) {
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& path : paths) size += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = FALSE;
  char* out = reinterpret_cast<char*>(header + 1);
  for (const std::string& path : paths) {
    lstrcpyA(out, path.c_str());
    out += path.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

int clientWidth(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  return client.right - client.left;
}

void dropAt(HWND dialog, int x, int y, const std::vector<std::string>& paths) {
  POINT point = {x, y};
  ClientToScreen(dialog, &point);
  check(placeCursor(point), "cursor placed for the drop at x " + std::to_string(x));
  SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop(paths)), 0);
}

ProgressCapture::ProgressCapture() { lastProgress.clear(); }

std::string ProgressCapture::lines() { return lastProgress; }

namespace {

BOOL CALLBACK findProgress(HWND window, LPARAM found) {
  if (!isProgressWindow(window) || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

HWND progressWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), findProgress, reinterpret_cast<LPARAM>(&found));
  return found;
}

void pressCheck(HWND dialog) {
  boxes.clear();
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CHECK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_CHECK)));
  pumpMessages();
}

// ---- the result dialog ------------------------------------------------------

bool isChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

bool startInView(HWND pane) {
  RECT format = {};
  SendMessageA(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  LRESULT first = SendMessageA(pane, EM_POSFROMCHAR, 0, 0);
  return static_cast<short>(LOWORD(first)) == format.left &&
         static_cast<short>(HIWORD(first)) == format.top;
}

bool showsFromStart(HWND pane) {
  DWORD start = 1, end = 1;
  SendMessageA(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start == 0 && end == 0 && startInView(pane);
}

void clickRadio(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND shownPane(HWND result, bool left) {
  return GetDlgItem(result, left ? IDC_SOURCE_PANE : IDC_SETTING_PANE);
}

WindowAction inspectResult(ResultSeen& seen) {
  return [&seen](HWND dialog) {
    auto paneText = [dialog](bool left) { return text(shownPane(dialog, left)); };
    auto fromStart = [dialog] {
      return showsFromStart(shownPane(dialog, true)) && showsFromStart(shownPane(dialog, false));
    };
    seen.opened = true;
    seen.summaryChecked = isChecked(dialog, IDC_VIEW_SUMMARY);
    seen.analysisChecked = isChecked(dialog, IDC_VIEW_ANALYSIS);
    seen.sourceName = itemText(dialog, IDC_SOURCE_NAME);
    seen.settingName = itemText(dialog, IDC_SETTING_NAME);
    // A long summary goes into its pane a piece at a time after the dialog
    // opened, but whole at once when the pane takes the focus, before
    // anything in it can be selected or copied.
    const dorvex::CheckWorkspace& workspace = dorvex::checkWorkspace();
    HWND focus = GetFocus();
    SetFocus(GetDlgItem(dialog, IDC_SOURCE_PANE));
    seen.summaryWholeOnFocus =
        paneText(true) == std::string(workspace.leftText(dorvex::ResultView::summary));
    SetFocus(focus);
    HWND right = GetDlgItem(dialog, IDC_SETTING_PANE);
    std::size_t rightSize = workspace.rightText(dorvex::ResultView::summary).size();
    waitFor(
        [right, rightSize] {
          return static_cast<std::size_t>(GetWindowTextLengthA(right)) >= rightSize;
        },
        600);
    seen.summaryLeft = paneText(true);
    seen.summaryRight = paneText(false);
    seen.summaryFromStart = fromStart();
    clickRadio(dialog, IDC_VIEW_ANALYSIS);
    seen.analysisLeft = paneText(true);
    seen.analysisRight = paneText(false);
    seen.analysisFromStart = fromStart();
    seen.analysisRadioState =
        isChecked(dialog, IDC_VIEW_ANALYSIS) && !isChecked(dialog, IDC_VIEW_SUMMARY);
    clickRadio(dialog, IDC_VIEW_SUMMARY);
    clickRadio(dialog, IDC_VIEW_SUMMARY);
    seen.refilledLeft = paneText(true);
    clickRadio(dialog, IDC_VIEW_ANALYSIS);
    seen.switchedAgainLeft = paneText(true);
    clickRadio(dialog, IDC_VIEW_SUMMARY);
    pressEscape(dialog);
  };
}

WindowAction closeResult(bool& opened) {
  return [&opened](HWND dialog) {
    opened = true;
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    closeLater(dialog);
  };
}

// ---- running --------------------------------------------------------------------

bool setUp() {
  WNDCLASSA helperClass = {};
  helperClass.lpfnWndProc = helperProc;
  helperClass.hInstance = GetModuleHandleA(nullptr);
  helperClass.lpszClassName = "DorvexUiTestHelper";
  RegisterClassA(&helperClass);
  helperWindow = CreateWindowA("DorvexUiTestHelper", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  hook = SetWindowsHookExA(WH_CALLWNDPROCRET, afterMessage, nullptr, GetCurrentThreadId());
  return helperWindow != nullptr && hook != nullptr;
}

void tearDown() { UnhookWindowsHookEx(hook); }

void timed(const char* name, const std::function<void()>& test) {
  DWORD start = GetTickCount();
  test();
  std::printf("%-28s %5lu ms\n", name, static_cast<unsigned long>(GetTickCount() - start));
}

}  // namespace uitest
