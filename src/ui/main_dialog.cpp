// The main dialog (resource 129): two panes that take dropped files, the
// output directory with its folder browser, the check button, and the
// choice of the cover a check is made in.
#include <windows.h>
#include <shellapi.h>

#include <new>
#include <string>
#include <utility>

#include "platform/config_file.h"
#include "ui/dialog_front_end.h"
#include "ui/front_end.h"
#include "ui/pane_filling.h"
#include "ui/resource.h"
#include "ui/text_view.h"

namespace dorvex {
namespace {

// The current directory lives in a buffer of this size; a longer one, or
// none, falls back to the root of drive C.
constexpr DWORD kDirectorySize = 1000;

constexpr UINT_PTR kFillTimer = 1;

// The dropped texts on their way into the left and the right pane.
PaneFilling fillings[2];

PaneFilling& fillingOf(int paneId) { return fillings[paneId == IDC_SOURCE_PANE ? 0 : 1]; }

PaneFilling& fillingOfView(int viewId) { return fillings[viewId == IDC_SOURCE_VIEW ? 0 : 1]; }

void fillPane(HWND dialog, int paneId, std::string text) {
  PaneFilling& filling = fillingOf(paneId);
  filling.start(std::move(text));
  if (filling.active()) SetTimer(dialog, kFillTimer, USER_TIMER_MINIMUM, nullptr);
}

// A key that would change a big text shown in a view: the text goes into
// its pane (the view gives the key to the pane then).
void onViewEditKey(HWND dialog, int viewId) {
  PaneFilling& filling = fillingOfView(viewId);
  filling.edit();
  if (filling.active()) SetTimer(dialog, kFillTimer, USER_TIMER_MINIMUM, nullptr);
}

// Pieces while the dialog waits for input: as many as fit in a slice of
// time too short to be felt, and none once input is waiting.
void onFillTimer(HWND dialog) {
  constexpr DWORD kSliceMilliseconds = 100;
  // A piece under a drag would move the selection being made.
  if (GetCapture() != nullptr) return;
  DWORD start = GetTickCount();
  for (PaneFilling& filling : fillings) {
    while (filling.active()) {
      filling.step();
      if (GetTickCount() - start >= kSliceMilliseconds || GetInputState()) return;
    }
  }
  KillTimer(dialog, kFillTimer);
}

// What a check takes from a pane: the whole dropped text while it is still
// going in, else what the pane holds.
std::string paneTextForCheck(HWND dialog, int paneId) {
  const PaneFilling& filling = fillingOf(paneId);
  bool held = filling.active() || filling.viewing();
  return held ? filling.text() : windowText(GetDlgItem(dialog, paneId));
}

void showFileName(HWND dialog, int labelId, const std::string& path) {
  SetDlgItemTextA(dialog, labelId, fileNameOf(path).c_str());
}

std::string startDirectory() {
  char directory[kDirectorySize] = {};
  DWORD length = GetCurrentDirectoryA(kDirectorySize, directory);
  if (length == 0 || length >= kDirectorySize) return "c:\\";
  return directory;
}

WNDPROC editProc = nullptr;

// A multi-line edit control in a dialog posts WM_CLOSE to it on Escape,
// which ended the program with both texts lost: the panes swallow Escape.
// The close box and the menu's exit still end the dialog. A wide
// procedure, so that double-byte characters pass through unconverted.
LRESULT CALLBACK paneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
  bool escape =
      (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) && wParam == VK_ESCAPE;
  if (escape) return 0;
  return CallWindowProcW(editProc, pane, message, wParam, lParam);
}

void ignoreEscapeIn(HWND pane) {
  auto previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(paneProc)));
  if (previous != paneProc) editProc = previous;
}

// A hidden view over `paneId`, with its place, frame and font, next to it
// in the order the keyboard moves through.
HWND makeViewOver(HWND dialog, int paneId, int viewId) {
  HWND pane = GetDlgItem(dialog, paneId);
  RECT frame = {};
  GetWindowRect(pane, &frame);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&frame), 2);
  HWND view = CreateWindowExA(
      static_cast<DWORD>(GetWindowLongA(pane, GWL_EXSTYLE)) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE),
      kTextViewClass, "", WS_CHILD | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, frame.left, frame.top,
      frame.right - frame.left, frame.bottom - frame.top, dialog,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(viewId)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(view, WM_SETFONT, SendMessageA(pane, WM_GETFONT, 0, 0), FALSE);
  SetWindowPos(view, pane, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return view;
}

INT_PTR onInitDialog(HWND dialog) {
  registerTextView();
  for (PaneFilling& filling : fillings) filling = PaneFilling();
  fillingOf(IDC_SOURCE_PANE)
      .attach(GetDlgItem(dialog, IDC_SOURCE_PANE),
              makeViewOver(dialog, IDC_SOURCE_PANE, IDC_SOURCE_VIEW));
  fillingOf(IDC_SETTING_PANE)
      .attach(GetDlgItem(dialog, IDC_SETTING_PANE),
              makeViewOver(dialog, IDC_SETTING_PANE, IDC_SETTING_VIEW));
  FrontEndState& state = frontEndState();
  state.sourcePath = kUnopened;
  state.settingPath = kUnopened;
  showFileName(dialog, IDC_SOURCE_NAME, state.sourcePath);
  showFileName(dialog, IDC_SETTING_NAME, state.settingPath);
  std::string hint = loadText(IDS_DROP_HINT);
  SetDlgItemTextA(dialog, IDC_SOURCE_PANE, hint.c_str());
  SetDlgItemTextA(dialog, IDC_SETTING_PANE, hint.c_str());
  SetDlgItemTextA(dialog, IDC_OUTPUT_DIR, startDirectory().c_str());
  // The program keeps no settings: every run starts in the classic cover.
  CheckDlgButton(dialog, IDC_COVER_CLASSIC, BST_CHECKED);
  // Typing and pasting stop at a pane's text limit, a drop does not: with
  // no limit a pasted configuration is checked whole, like a dropped one.
  SendDlgItemMessageA(dialog, IDC_SOURCE_PANE, EM_SETLIMITTEXT, 0, 0);
  SendDlgItemMessageA(dialog, IDC_SETTING_PANE, EM_SETLIMITTEXT, 0, 0);
  ignoreEscapeIn(GetDlgItem(dialog, IDC_SOURCE_PANE));
  ignoreEscapeIn(GetDlgItem(dialog, IDC_SETTING_PANE));
  // The left pane takes the focus with its hint selected, so that typing
  // replaces it, and the caret at the hint's start, so that the hint shows
  // from there: the dialog's own choice of focus would put the caret at the
  // end and scroll a hint wider than the pane.
  HWND left = GetDlgItem(dialog, IDC_SOURCE_PANE);
  SetFocus(left);
  SendMessageA(left, EM_SETSEL, static_cast<WPARAM>(GetWindowTextLengthW(left)), 0);
  return FALSE;
}

// The path of the last file of a drop; releases the drop.
std::string takeLastDroppedPath(HDROP drop) {
  std::string path;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    path.assign(length + 1, '\0');
    path.resize(DragQueryFileA(drop, i, path.data(), length + 1));
  }
  DragFinish(drop);
  return path;
}

bool cursorInLeftHalf(HWND dialog) {
  POINT cursor = {};
  GetCursorPos(&cursor);
  ScreenToClient(dialog, &cursor);
  RECT client = {};
  GetClientRect(dialog, &client);
  return dropGoesLeft(cursor.x, client.right - client.left);
}

bool isDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// What the console driver warns of a file it reads: the part of the text
// that will not be checked as the user may expect. Empty when nothing.
// `bytes` is the text as read, ending at its first NUL byte if it has one.
std::string dropWarning(const std::string& path, const std::string& bytes, std::size_t markLength) {
  std::size_t nul = bytes.find('\0');
  if (nul != std::string::npos) {
    return path + ": NUL byte at offset " + std::to_string(nul + markLength) +
           "; the text after it is not checked";
  }
  // Lines end at LF only: a bare CR (one followed by neither CR nor LF)
  // joins lines, which matters once such CRs outnumber the LFs.
  std::size_t bareCrs = 0, lineFeeds = 0;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] == '\n') ++lineFeeds;
    bool bare = bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] != '\r' &&
                bytes[at + 1] != '\n';
    if (bare) ++bareCrs;
  }
  if (bareCrs == 0 || bareCrs <= lineFeeds) return std::string();
  if (lineFeeds == 0) return path + ": lines end in CR only; the whole text is checked as one line";
  return path +
         ": most lines end in CR only; lines end at LF only, so the text between two LFs "
         "is checked as one line";
}

void onDropFiles(HWND dialog, HDROP drop) {
  // Reading a big file and handing it to a pane takes a while.
  WaitCursor waiting;
  std::string path = takeLastDroppedPath(drop);
  // The console driver's reader: a file checks the same in both programs.
  std::string bytes, reason;
  ConfigFileRead read;
  if (!readConfigFile(path, bytes, reason, &read)) {
    // A directory is no file that failed to open: say what it is.
    if (read.opened || isDirectory(path)) {
      std::string message = read.opened ? reason : path + ": " + reason;
      MessageBoxA(dialog, message.c_str(), loadText(IDS_ERROR).c_str(), MB_OK | MB_ICONERROR);
    } else {
      showMessage(dialog, IDS_CANNOT_OPEN, 0, MB_OK);
    }
    return;
  }
  bool left = cursorInLeftHalf(dialog);
  std::string text = paneTextOf(bytes);
  fillPane(dialog, left ? IDC_SOURCE_PANE : IDC_SETTING_PANE, std::move(text));
  FrontEndState& state = frontEndState();
  std::string& panePath = left ? state.sourcePath : state.settingPath;
  panePath = path;
  showFileName(dialog, left ? IDC_SOURCE_NAME : IDC_SETTING_NAME, panePath);
  std::string warning = dropWarning(path, bytes, read.markLength);
  if (!warning.empty())
    MessageBoxA(dialog, warning.c_str(), loadText(IDS_WARNING).c_str(), MB_OK | MB_ICONWARNING);
}

void onBrowse(HWND dialog) {
  std::string directory = windowText(GetDlgItem(dialog, IDC_OUTPUT_DIR));
  if (chooseFolder(dialog, directory)) SetDlgItemTextA(dialog, IDC_OUTPUT_DIR, directory.c_str());
}

void openResultDialog(HWND dialog, const CheckShown& shown) {
  // Without its panes' class the dialog cannot be created, and says so.
  registerTextView();
  INT_PTR ended = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RESULT), dialog,
                                  resultDialogProc, reinterpret_cast<LPARAM>(&shown));
  if (ended == -1) showMessage(dialog, IDS_ERROR, IDS_DIALOG_ERROR_CAPTION, MB_OK);
}

// The modes of the chosen cover. The list cover reads the lists in order,
// as the within analysis does, so a check in it makes that analysis too.
CheckModes chosenModes(HWND dialog) {
  CheckModes modes;
  if (IsDlgButtonChecked(dialog, IDC_COVER_EXACT) == BST_CHECKED)
    modes = {Syntax::full, Cover::exact};
  if (IsDlgButtonChecked(dialog, IDC_COVER_LIST) == BST_CHECKED)
    modes = {Syntax::full, Cover::list, true};
  // The change review reads lists as running configurations hold them.
  if (IsDlgButtonChecked(dialog, IDC_CHANGE_REVIEW) == BST_CHECKED) {
    modes.syntax = Syntax::full;
    modes.diff = true;
  }
  return modes;
}

// Whole pane texts go to the check: nothing past any length is dropped.
CheckResult runCheckFromPanes(HWND dialog) {
  WaitCursor waiting;
  const FrontEndState& state = frontEndState();
  std::string sourceText = paneTextForCheck(dialog, IDC_SOURCE_PANE);
  std::string settingText = paneTextForCheck(dialog, IDC_SETTING_PANE);
  // The dialog always compares two configurations: with the within
  // analysis the check would take an empty right pane for the left one
  // alone, and show an empty summary where the user expects a comparison.
  if (sourceText.empty() || settingText.empty()) {
    CheckResult empty;
    empty.status = CheckStatus::emptyText;
    return empty;
  }
  CheckRequest request;
  request.sourceText = sourceText;
  request.settingText = settingText;
  request.sourcePath = state.sourcePath;
  request.settingPath = state.settingPath;
  request.outputDirectory = windowText(GetDlgItem(dialog, IDC_OUTPUT_DIR));
  request.modes = chosenModes(dialog);
  DialogFrontEnd frontEnd(dialog);
  return checkWorkspace().runCheck(request, frontEnd);
}

// An empty pane, a lack of memory or a text too large stops the check
// before anything is checked: the result dialog would only show the
// previous results, so it stays closed and the last report path is kept.
void runCheckAndShow(HWND dialog) {
  if (showMessage(dialog, IDS_CONFIRM_CHECK, IDS_CONFIRM_CAPTION, MB_OK) != IDOK) return;
  FrontEndState& state = frontEndState();
  CheckShown shown{state.sourcePath, state.settingPath, std::string()};
  CheckResult result;
  try {
    result = runCheckFromPanes(dialog);
  } catch (const std::bad_alloc&) {
    result.status = CheckStatus::outOfMemory;
  }
  switch (result.status) {
    case CheckStatus::written:
    case CheckStatus::notWritten: state.reportPath = result.reportPath; break;
    case CheckStatus::pathTooLong:
      state.reportPath.clear();
      showMessage(dialog, IDS_PATH_TOO_LONG, IDS_ERROR, MB_OK | MB_ICONERROR);
      break;
    case CheckStatus::emptyText:
      showMessage(dialog, IDS_EMPTY_TEXT, IDS_ERROR, MB_OK | MB_ICONERROR);
      return;
    case CheckStatus::outOfMemory:
      showMessage(dialog, IDS_OUT_OF_MEMORY, IDS_ERROR, MB_OK | MB_ICONERROR);
      return;
    case CheckStatus::tooLarge:
      showMessage(dialog, IDS_TOO_LARGE, IDS_ERROR, MB_OK | MB_ICONERROR);
      return;
  }
  shown.reportPath = state.reportPath;
  shown.reportWritten = result.status == CheckStatus::written;
  discardInput();
  openResultDialog(dialog, shown);
}

// A check runs from its confirmation box to the end of its result dialog.
// Every window it opens is owned by the main dialog, which is disabled
// while one is up; the flag also refuses what reaches the dialog without
// input of its own (a drop the shell posts, a command another program
// sends), so no second check can load new texts into the workspace while
// the report or the result dialog is still made from the first.
void onCheck(HWND dialog) {
  FrontEndState& state = frontEndState();
  if (state.checkRunning) return;
  struct Running {
    bool& flag;
    explicit Running(bool& flag) : flag(flag) { flag = true; }
    ~Running() { flag = false; }
  } running(state.checkRunning);
  runCheckAndShow(dialog);
  // The dialog loses its focus while it is disabled under the boxes and,
  // active again, would give it to the left pane with its text selected:
  // the focus goes back to the button, as after any box a button opens.
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_CHECK)),
               TRUE);
}

INT_PTR onCommand(HWND dialog, WORD command) {
  switch (command) {
    case IDC_CHECK: onCheck(dialog); return TRUE;
    case IDC_BROWSE: onBrowse(dialog); return TRUE;
    case IDM_ABOUT:
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), dialog,
                      aboutDialogProc, 0);
      return TRUE;
    case IDM_EXIT: DestroyWindow(dialog); return TRUE;
    default:
      // Escape among them: the main dialog closes only by its close box.
      return FALSE;
  }
}

INT_PTR dispatch(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  bool checkRunning = frontEndState().checkRunning;
  switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog);
    case WM_DROPFILES:
      if (checkRunning) {
        DragFinish(reinterpret_cast<HDROP>(wParam));
      } else {
        onDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
      }
      return TRUE;
    case WM_COMMAND:
      if (checkRunning) return TRUE;
      if (HIWORD(wParam) == kTextViewEditKey &&
          (LOWORD(wParam) == IDC_SOURCE_VIEW || LOWORD(wParam) == IDC_SETTING_VIEW)) {
        onViewEditKey(dialog, LOWORD(wParam));
        return TRUE;
      }
      return onCommand(dialog, LOWORD(wParam));
    case WM_TIMER:
      if (wParam != kFillTimer) return FALSE;
      onFillTimer(dialog);
      return TRUE;
    case WM_DRAWITEM: drawFileName(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_CLOSE:
      if (!checkRunning) EndDialog(dialog, 1);
      return TRUE;
    case WM_DESTROY: PostQuitMessage(0); return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(dialog, &paint);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    default: return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return dispatch(dialog, message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the window manager.
    return FALSE;
  }
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (mainDialogProc(window, message, wParam, lParam)) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace dorvex
