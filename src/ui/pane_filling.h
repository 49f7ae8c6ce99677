// A dropped file's text in an input pane of the main dialog. An edit
// control measures every line it is given (about 50 microseconds a line
// under Wine, 12 to 27 s for a 10 MB file), so:
//  - a text of up to kViewedSize bytes goes into the edit control a piece
//    at a time while the dialog waits for input, and the dialog answers
//    meanwhile;
//  - a bigger one shows at once in a read-only view laid over the edit
//    control, which paints only the lines in view. The first key that
//    would change it there (see kTextViewEditKey) hands it to the edit
//    control: piece by piece as above, or, when the whole text is
//    selected, as an empty pane that takes the key.
// The edit control takes no typing or pasting until it holds the whole
// text; a check meanwhile takes the whole text from here.
#ifndef DORVEX_UI_PANE_FILLING_H_
#define DORVEX_UI_PANE_FILLING_H_

#include <windows.h>

#include <cstddef>
#include <string>

namespace dorvex {

// Where an edit control or the view is scrolled to and what is selected in
// it, in the control's own units.
struct PaneView {
  DWORD selectionStart = 0;
  DWORD selectionEnd = 0;
  int firstLine = 0;
  int left = 0;
};

class PaneFilling {
 public:
  // Texts bigger than this show in the view.
  static constexpr std::size_t kViewedSize = 512 * 1024;

  // The edit control `pane` and the view over it, hidden until needed.
  void attach(HWND pane, HWND view);
  // Shows `text` in place of what the pane held.
  void start(std::string text);
  // Called on a key in the view that would edit its text (kTextViewEditKey):
  // the pane replaces the view, empty when the whole text was selected.
  void edit();
  // Appends the next piece to the pane; the pane keeps its place and
  // selection. Returns true iff some of the text is still to go in.
  bool step();
  bool active() const { return state == State::filling; }
  bool viewing() const { return state == State::viewing; }
  // The whole text. REQUIRES: active() || viewing().
  const std::string& text() const { return whole; }

 private:
  enum class State { editing, viewing, filling };
  // Appends up to `size` bytes, whole lines.
  void append(std::size_t size);
  void showPane(bool shown);

  HWND pane = nullptr;
  HWND view = nullptr;
  State state = State::editing;
  std::string whole;
  std::size_t done = 0;
  // The view's place and selection, taken over once the pane holds
  // `wantedReach` bytes.
  PaneView wanted;
  std::size_t wantedReach = 0;
};

}  // namespace dorvex

#endif  // DORVEX_UI_PANE_FILLING_H_
