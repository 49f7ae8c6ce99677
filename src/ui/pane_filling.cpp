// An input pane filled a piece at a time (see pane_filling.h).
#include "ui/pane_filling.h"

namespace dorvex {
namespace {

// About this many bytes go in at a time, a few tens of milliseconds of
// work under Wine, short enough not to be felt between two inputs.
constexpr std::size_t kPieceSize = 64 * 1024;

// Where a pane is scrolled to and what is selected in it.
struct PaneView {
  DWORD selectionStart = 0;
  DWORD selectionEnd = 0;
  int firstLine = 0;
  int left = 0;
};

PaneView viewOf(HWND pane) {
  PaneView view;
  SendMessageA(pane, EM_GETSEL, reinterpret_cast<WPARAM>(&view.selectionStart),
               reinterpret_cast<LPARAM>(&view.selectionEnd));
  view.firstLine = static_cast<int>(SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
  view.left = GetScrollPos(pane, SB_HORZ);
  return view;
}

// The selection first, since setting it may scroll; the scroll bar
// positions are the control's offsets.
void restoreView(HWND pane, const PaneView& view) {
  SendMessageA(pane, EM_SETSEL, view.selectionStart, view.selectionEnd);
  int firstLine = static_cast<int>(SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
  SendMessageA(pane, EM_LINESCROLL, 0, view.firstLine - firstLine);
  SendMessageA(pane, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, view.left), 0);
}

// The text in view of a pane given a piece is as it was: only its frame,
// where the scroll bars show the new length, is drawn again.
void redrawScrollBars(HWND pane) {
  RECT window;
  GetWindowRect(pane, &window);
  MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&window), 2);
  RECT client;
  GetClientRect(pane, &client);
  HRGN frame = CreateRectRgnIndirect(&window);
  HRGN inside = CreateRectRgnIndirect(&client);
  CombineRgn(frame, frame, inside, RGN_DIFF);
  RedrawWindow(pane, nullptr, frame, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  DeleteObject(inside);
  DeleteObject(frame);
}

}  // namespace

void PaneFilling::start(HWND pane, std::string text) {
  this->pane = pane;
  whole = std::move(text);
  done = 0;
  SetWindowTextA(pane, "");
  append(kPieceSize);
  SendMessageA(pane, EM_SETREADONLY, active(), 0);
}

bool PaneFilling::step() {
  if (!active()) return false;
  append(kPieceSize);
  if (!active()) {
    SendMessageA(pane, EM_SETREADONLY, FALSE, 0);
    // The pane holds it now.
    std::string().swap(whole);
    done = 0;
  }
  return active();
}

// A line ends in LF, which is no byte of a double-byte character.
void PaneFilling::append(std::size_t size) {
  std::size_t end = whole.size();
  if (end - done > size) {
    std::size_t lineEnd = whole.find('\n', done + size);
    if (lineEnd != std::string::npos) end = lineEnd + 1;
  }
  std::string piece = whole.substr(done, end - done);
  // The control scrolls to the end of what it takes: the pane keeps its
  // place and selection, and is not drawn meanwhile.
  PaneView view = viewOf(pane);
  bool inView = IsWindowVisible(pane) != FALSE;
  if (inView) SendMessageA(pane, WM_SETREDRAW, FALSE, 0);
  // Positions past the end select the end, whatever unit the control
  // counts in.
  SendMessageA(pane, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
  SendMessageA(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  restoreView(pane, view);
  if (inView) {
    SendMessageA(pane, WM_SETREDRAW, TRUE, 0);
    if (done == 0) {
      InvalidateRect(pane, nullptr, TRUE);
    } else {
      redrawScrollBars(pane);
    }
  }
  done = end;
}

}  // namespace dorvex
