// An input pane filled a piece at a time (see pane_filling.h).
#include "ui/pane_filling.h"

#include <algorithm>

#include "ui/text_view.h"

namespace dorvex {
namespace {

// About this many bytes go in at a time, a few tens of milliseconds of
// work under Wine, short enough not to be felt between two inputs.
constexpr std::size_t kPieceSize = 64 * 1024;

// Lines of the view's place that go into the pane before it takes that
// place over: a screenful and more.
constexpr int kLinesInView = 200;

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

void PaneFilling::attach(HWND pane, HWND view) {
  this->pane = pane;
  this->view = view;
}

void PaneFilling::showPane(bool shown) {
  bool focused = GetFocus() == pane || GetFocus() == view;
  ShowWindow(shown ? pane : view, SW_SHOW);
  ShowWindow(shown ? view : pane, SW_HIDE);
  if (focused) SetFocus(shown ? pane : view);
}

void PaneFilling::start(std::string text) {
  // The view lets go of the text it shows before that text goes.
  setTextViewText(view, std::string_view());
  whole = std::move(text);
  done = 0;
  wantedReach = 0;
  SetWindowTextA(pane, "");
  if (whole.size() > kViewedSize) {
    state = State::viewing;
    setTextViewText(view, whole);
    showPane(false);
    return;
  }
  showPane(true);
  state = State::filling;
  step();
}

void PaneFilling::edit() {
  if (state != State::viewing) return;
  DWORD start = 0;
  DWORD end = 0;
  SendMessageA(view, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  int firstLine = static_cast<int>(SendMessageA(view, EM_GETFIRSTVISIBLELINE, 0, 0));
  int left = GetScrollPos(view, SB_HORZ);
  setTextViewText(view, std::string_view());
  if (start == 0 && end >= whole.size()) {
    // The key replaces the whole text, as in the pane.
    std::string().swap(whole);
    state = State::editing;
    showPane(true);
    return;
  }
  // The view counts bytes, the pane characters.
  auto characters = [this](DWORD bytes) {
    return static_cast<DWORD>(
        MultiByteToWideChar(CP_ACP, 0, whole.data(), static_cast<int>(bytes), nullptr, 0));
  };
  wanted = {characters(start), characters(end), firstLine, left};
  std::size_t shownEnd = 0;
  for (int line = 0; line < firstLine + kLinesInView && shownEnd != std::string::npos; ++line)
    shownEnd = whole.find('\n', shownEnd + (line > 0 ? 1 : 0));
  wantedReach = std::min(whole.size(), std::max<std::size_t>(end, shownEnd));
  state = State::filling;
  showPane(true);
  step();
}

bool PaneFilling::step() {
  if (state != State::filling) return false;
  append(kPieceSize);
  if (done < whole.size()) {
    SendMessageA(pane, EM_SETREADONLY, TRUE, 0);
    return true;
  }
  SendMessageA(pane, EM_SETREADONLY, FALSE, 0);
  // The pane holds it now.
  std::string().swap(whole);
  done = 0;
  state = State::editing;
  return false;
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
  done = end;
  if (wantedReach != 0 && done >= wantedReach) {
    restoreView(pane, wanted);
    wantedReach = 0;
  }
  if (inView) {
    SendMessageA(pane, WM_SETREDRAW, TRUE, 0);
    if (done == 0) {
      InvalidateRect(pane, nullptr, TRUE);
    } else {
      redrawScrollBars(pane);
    }
  }
}

}  // namespace dorvex
