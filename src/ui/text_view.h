// A read-only text pane over a text that the caller keeps (the result
// dialog's panes over the check workspace's texts). It paints only the
// lines in view, so a text of any length shows at once: an edit control
// measures every line of a text it is given, seconds for 100,000 lines.
//
// What a user does in a read-only edit control works here too: select with
// the mouse (a double-click takes a word) or with Shift and the movement
// keys, Ctrl+A, copy with Ctrl+C, Ctrl+Insert or the context menu, scroll
// with the bars, the wheel and the keys. Positions are byte offsets; a
// double-byte character is never split. The edit messages that tell and
// set the selection and the scrolling (EM_GETSEL, EM_SETSEL,
// EM_GETFIRSTVISIBLELINE, EM_LINESCROLL, EM_POSFROMCHAR, EM_GETRECT,
// WM_GETTEXT, WM_GETTEXTLENGTH, WM_COPY) are answered as an edit control
// answers them.
#ifndef DORVEX_UI_TEXT_VIEW_H_
#define DORVEX_UI_TEXT_VIEW_H_

#include <windows.h>

#include <string_view>

namespace dorvex {

// The window class of the pane, for dialog templates.
inline constexpr char kTextViewClass[] = "DorvexTextView";

// The notification code (WM_COMMAND's high word) a view sends its parent
// on a key that would change its text in an edit control (a character,
// Backspace, Delete, a cut or a paste): a parent that holds the text may
// then hand it to an edit control. The key itself does nothing here.
inline constexpr WORD kTextViewEditKey = 0x0800;

// Registers the window class once per process. Returns false iff it is not
// registered.
bool registerTextView();

// Shows `text` (up to its first NUL) in `view` from its first line, nothing
// selected. The text must stay unchanged until the next call or until the
// view is destroyed.
void setTextViewText(HWND view, std::string_view text);

}  // namespace dorvex

#endif  // DORVEX_UI_TEXT_VIEW_H_
