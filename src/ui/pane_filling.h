// A dropped file's text on its way into an input pane of the main dialog.
// An edit control measures every line it is given (about 50 microseconds a
// line under Wine, 12 to 27 s for a 10 MB file), so the text goes in a
// piece at a time while the dialog waits for input, and the dialog answers
// meanwhile. The pane takes no typing or pasting until it holds the whole
// text; a check meanwhile takes the whole text from here.
#ifndef DORVEX_UI_PANE_FILLING_H_
#define DORVEX_UI_PANE_FILLING_H_

#include <windows.h>

#include <string>

namespace dorvex {

class PaneFilling {
 public:
  // Puts the first piece of `text` into the edit control `pane` at once,
  // replacing what it held, and keeps the rest for step().
  void start(HWND pane, std::string text);
  // Appends the next piece to the pane; the pane keeps its place and
  // selection. Returns true iff some of the text is still to go in.
  bool step();
  bool active() const { return done < whole.size(); }
  // The pane's text once it is whole. REQUIRES: active().
  const std::string& text() const { return whole; }

 private:
  // Appends up to `size` bytes, whole lines.
  void append(std::size_t size);

  HWND pane = nullptr;
  std::string whole;
  std::size_t done = 0;
};

}  // namespace dorvex

#endif  // DORVEX_UI_PANE_FILLING_H_
