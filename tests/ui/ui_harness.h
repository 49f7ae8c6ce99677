// The harness of the dialog tests (ui_test.cpp): drives the dialogs of the
// Windows front end through real window messages, under Windows or Wine
// (code page 932). The main dialog is created modeless, files are dropped
// as real HDROP blocks, and every modal window that a handler opens
// (message boxes, result, About, folder browser) is caught once its
// WM_INITDIALOG has run and handed to the action the test queued for it;
// message boxes are recorded and answered with OK.
#ifndef DORVEX_TESTS_UI_UI_HARNESS_H_
#define DORVEX_TESTS_UI_UI_HARNESS_H_

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace uitest {

// ---- results ----------------------------------------------------------------

extern int passed;
extern int failed;

// At most 200 bytes of `text`, bytes outside printable ASCII as \xHH.
std::string printable(const std::string& text);
// Counts a check; prints "FAILED: what" when `ok` is false.
void check(bool ok, const std::string& what);
void checkEq(const std::string& got, const std::string& want, const std::string& what);

// ---- texts of the program, as their Shift-JIS bytes ------------------------

inline constexpr char kHint[] =
    "\x83\x68\x83\x89\x83\x62\x83\x4F\x81\x95\x83\x68\x83\x8D\x83\x62\x83\x76\x82\xC5\x83\x74"
    "\x83\x40\x83\x43\x83\x8B\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB7";
inline constexpr char kCannotOpen[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1";
inline constexpr char kBrowseTitle[] =
    "\x83\x74\x83\x48\x83\x8B\x83\x5F\x82\xF0\x91\x49\x91\xF0\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82"
    "\xA2";
inline constexpr char kAboutCaption[] = "\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1";
inline constexpr char kPathTooLong[] =
    "The report path is too long: choose a shorter output directory.";
inline constexpr char kEmptyText[] = "Nothing was checked: a pane is empty.";

// ---- small Windows helpers --------------------------------------------------

std::string text(HWND window);
std::string itemText(HWND dialog, int id);
bool writeFile(const std::string& path, const std::string& bytes);
bool readFile(const std::string& path, std::string& bytes);
bool contains(const std::string& haystack, const std::string& needle);
// A fresh folder of the test's own at the root of drive C: Wine's folder
// browser selects a folder given by its path only one level below a drive.
std::string makeTestFolder();
// Lets posted messages run, outside any modal loop.
void pumpMessages();
// Pumps messages until `done` returns true or `seconds` have passed;
// returns what `done` last returned.
bool waitFor(const std::function<bool()>& done, int seconds);

// ---- real input, as a user gives it ----------------------------------------

// Moves the mouse pointer to a screen point and waits until it is there.
bool placeCursor(POINT point);
// A left click at a screen point.
void clickAt(POINT point);
// Presses and releases a key, with `modifier` (VK_CONTROL, VK_MENU) held
// unless it is 0.
void pressKey(WORD key, WORD modifier = 0);
// What the screen shows of a window: rows bottom first, 3 bytes a pixel
// (blue, green, red), each row padded to 4 bytes.
struct Picture {
  int width = 0;
  int height = 0;
  std::string pixels;
  // The colour at x, y counted from the top left, as 0xRRGGBB.
  unsigned long at(int x, int y) const;
};
Picture takePicture(HWND window);
// What `control` paints into its client area (WM_PRINTCLIENT).
Picture paintedBy(HWND control);
// `text` drawn by DrawTextA with `format` in the font of `control`, into a
// picture the size of its client area.
Picture drawnText(HWND control, const std::string& text, UINT format);
// One flag a pixel, row by row from the top: true where the pixel differs
// from the picture's most frequent colour, its background.
std::vector<bool> ink(const Picture& picture);
// Writes the picture as a 24-bit BMP file; false if it cannot be written.
bool savePicture(const Picture& picture, const std::string& path);

// ---- modal windows opened by the handlers ----------------------------------

// A message box as the test saw it.
struct Box {
  std::string caption;
  std::string text;
  HWND owner;
};
// The message boxes seen since the last pressCheck() (or clear()).
extern std::vector<Box> boxes;

// Run on the window once it has opened; each queue is taken from the front,
// and a window with an empty queue fails the test and is cancelled.
using WindowAction = std::function<void(HWND)>;
extern std::deque<WindowAction> resultActions;
extern std::deque<WindowAction> aboutActions;
extern std::deque<WindowAction> browserActions;
// Run on the first message box with the caption, before it is recorded and
// answered; a box with no action of its own is answered at once.
void onBox(const std::string& caption, WindowAction action);

// The texts of the static controls of `window` (an icon's none), in order.
std::string staticTexts(HWND window);
// A dialog that a test meant to close but that stayed open is closed after
// a while, so that a fault fails the test instead of hanging it.
void closeLater(HWND dialog);
void pressEscape(HWND dialog);

// ---- the main dialog --------------------------------------------------------

// The main dialog being driven, or null.
extern HWND mainDialog;
// When set, called with every message sent to a window of the test's
// thread, after the window has handled it.
extern std::function<void(HWND window, UINT message)> sentMessageWatcher;
// The whole message the watcher is called with, while it runs.
extern const CWPRETSTRUCT* watchedMessage;
HWND openMainDialog();
// Destroys it and checks that the quit message was posted.
void closeMainDialog(HWND dialog);
int clientWidth(HWND dialog);
// A drop block as the shell builds it: DROPFILES, then the NUL-terminated
// 8-bit paths, then one more NUL. The receiver frees it (DragFinish).
HDROP makeDrop(const std::vector<std::string>& paths);
// Puts the mouse cursor at a client point of the dialog and drops there.
void dropAt(HWND dialog, int x, int y, const std::vector<std::string>& paths);
// Presses "CEHCK!"; boxes and dialogs are answered as queued.
void pressCheck(HWND dialog);

// What the progress window of the last check showed when it went; empty
// from construction until a progress window goes.
class ProgressCapture {
 public:
  ProgressCapture();
  std::string lines();
};
// The progress window of a check while it is open, or null.
HWND progressWindow();

// ---- the result dialog ------------------------------------------------------

bool isChecked(HWND dialog, int id);
// The left or right pane of the result dialog.
HWND shownPane(HWND result, bool left);
// True iff the edit control shows its text from the first line and column.
bool startInView(HWND pane);
// True iff startInView() and nothing is selected.
bool showsFromStart(HWND pane);
void clickRadio(HWND dialog, int id);

// Result-dialog action: records what the panes show in each view.
struct ResultSeen {
  bool opened = false;
  bool summaryChecked = false;
  bool analysisChecked = true;
  std::string sourceName, settingName;
  std::string summaryLeft, summaryRight, analysisLeft, analysisRight;
  bool analysisRadioState = false;
  bool summaryWholeOnFocus = false;  // the left summary pane, once focused
  bool summaryFromStart = false;     // both panes, once holding their texts
  bool analysisFromStart = false;    // both panes, after the switch
  std::string refilledLeft;          // Summary Result chosen again
  std::string switchedAgainLeft;     // Analyse Result chosen again
  bool closed = false;
};
WindowAction inspectResult(ResultSeen& seen);
// Result-dialog action: notes that it opened and closes it.
WindowAction closeResult(bool& opened);

// ---- running --------------------------------------------------------------------

// Registers the helper window and hooks the thread's windows; false if
// either fails.
bool setUp();
void tearDown();
// Runs `test` and prints its name and duration.
void timed(const char* name, const std::function<void()>& test);

}  // namespace uitest

#endif  // DORVEX_TESTS_UI_UI_HARNESS_H_
