// The read-only text pane (see text_view.h).
#include "ui/text_view.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui/resource.h"

namespace dorvex {
namespace {

// lParam: the const std::string_view* of the text to show.
constexpr UINT kSetText = WM_USER + 1;
// Pixels between the pane's left edge and the text, as an edit control has.
constexpr int kMargin = 2;
// The width of a text is that of its longest lines by bytes, this many at
// most, measured when it is set; a wider line found while painting widens
// it, so the end of every line can be scrolled to.
constexpr std::size_t kMeasuredLines = 2000;

struct TextView {
  HWND window = nullptr;
  HFONT font = nullptr;
  std::string_view text;
  std::vector<std::size_t> lineStarts{0};
  int lineHeight = 16;
  int charWidth = 8;
  int textWidth = 0;
  int topLine = 0;
  int left = 0;  // pixels scrolled to the right
  // The selection runs from the anchor to the caret.
  std::size_t anchor = 0;
  std::size_t caret = 0;
  int wantedX = -1;  // the caret's x kept over moves up and down
  bool dragging = false;
  bool focused = false;

  int lineCount() const { return static_cast<int>(lineStarts.size()); }
  std::size_t selectionStart() const { return std::min(anchor, caret); }
  std::size_t selectionEnd() const { return std::max(anchor, caret); }
};

TextView* viewOf(HWND window) {
  return reinterpret_cast<TextView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The end of line `line`'s text, before its LF and the CRs before that:
// a summary line keeps the CR of its CR LF input line before its own
// CR LF, and a CR would show as a box.
std::size_t lineEnd(const TextView& view, int line) {
  std::size_t start = view.lineStarts[static_cast<std::size_t>(line)];
  std::size_t end = line + 1 < view.lineCount()
                        ? view.lineStarts[static_cast<std::size_t>(line) + 1]
                        : view.text.size();
  if (end > start && view.text[end - 1] == '\n') --end;
  while (end > start && view.text[end - 1] == '\r') --end;
  return end;
}

int lineOf(const TextView& view, std::size_t offset) {
  auto after = std::upper_bound(view.lineStarts.begin(), view.lineStarts.end(), offset);
  return static_cast<int>(after - view.lineStarts.begin()) - 1;
}

// `offset` moved back to the end of its line's text when it falls in the
// line break.
std::size_t onLine(const TextView& view, std::size_t offset, int line) {
  return std::min(offset, lineEnd(view, line));
}

std::string_view lineText(const TextView& view, int line, std::size_t end) {
  std::size_t start = view.lineStarts[static_cast<std::size_t>(line)];
  return view.text.substr(start, end - start);
}

// Tabs go to the tab stops an edit control uses; a line without one is
// measured in 32 bits, whatever its length.
int widthOf(HDC dc, std::string_view text) {
  if (text.empty()) return 0;
  if (text.find('\t') != std::string_view::npos)
    return LOWORD(GetTabbedTextExtentA(dc, text.data(), static_cast<int>(text.size()), 0, nullptr));
  SIZE size = {};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

void drawText(HDC dc, int x, int y, std::string_view text, int tabOrigin) {
  if (text.empty()) return;
  if (text.find('\t') != std::string_view::npos) {
    TabbedTextOutA(dc, x, y, text.data(), static_cast<int>(text.size()), 0, nullptr, tabOrigin);
  } else {
    ExtTextOutA(dc, x, y, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
  }
}

// A DC of the pane with its font selected, released at the end.
class PaneDc {
 public:
  explicit PaneDc(const TextView& view)
      : window(view.window), dc(GetDC(view.window)), old(SelectObject(dc, font(view))) {}
  ~PaneDc() {
    SelectObject(dc, old);
    ReleaseDC(window, dc);
  }
  PaneDc(const PaneDc&) = delete;
  PaneDc& operator=(const PaneDc&) = delete;
  operator HDC() const { return dc; }
  static HGDIOBJ font(const TextView& view) {
    return view.font != nullptr ? static_cast<HGDIOBJ>(view.font) : GetStockObject(SYSTEM_FONT);
  }

 private:
  HWND window;
  HDC dc;
  HGDIOBJ old;
};

int xOf(const TextView& view, HDC dc, std::size_t offset) {
  int line = lineOf(view, offset);
  return widthOf(dc, lineText(view, line, onLine(view, offset, line)));
}

// The character boundary of line `line` nearest to x (pixels from the
// text's start): double-byte characters are never split.
std::size_t offsetAt(const TextView& view, HDC dc, int line, int x) {
  std::size_t start = view.lineStarts[static_cast<std::size_t>(line)];
  std::size_t end = lineEnd(view, line);
  std::vector<std::size_t> bounds;
  for (std::size_t at = start; at < end;
       at += IsDBCSLeadByte(static_cast<BYTE>(view.text[at])) && at + 1 < end ? 2 : 1)
    bounds.push_back(at);
  bounds.push_back(end);
  auto width = [&](std::size_t at) { return widthOf(dc, view.text.substr(start, at - start)); };
  // The last boundary at or left of x, then the nearer of it and the next.
  std::size_t low = 0, high = bounds.size() - 1;
  while (low < high) {
    std::size_t middle = (low + high + 1) / 2;
    if (width(bounds[middle]) <= x) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  if (low + 1 < bounds.size() && x - width(bounds[low]) > width(bounds[low + 1]) - x) ++low;
  return bounds[low];
}

int rowsInView(const TextView& view) {
  RECT client;
  GetClientRect(view.window, &client);
  return std::max(1, static_cast<int>(client.bottom) / view.lineHeight);
}

int clientWidth(const TextView& view) {
  RECT client;
  GetClientRect(view.window, &client);
  return client.right;
}

void placeCaret(const TextView& view) {
  if (!view.focused) return;
  int line = lineOf(view, view.caret);
  PaneDc dc(view);
  SetCaretPos(kMargin - view.left + xOf(view, dc, view.caret),
              (line - view.topLine) * view.lineHeight);
}

void updateScrollBars(const TextView& view) {
  SCROLLINFO vertical = {};
  vertical.cbSize = sizeof vertical;
  vertical.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  vertical.nMax = view.lineCount() - 1;
  vertical.nPage = static_cast<UINT>(rowsInView(view));
  vertical.nPos = view.topLine;
  SetScrollInfo(view.window, SB_VERT, &vertical, TRUE);
  SCROLLINFO horizontal = vertical;
  horizontal.nMax = view.textWidth + 2 * kMargin;
  horizontal.nPage = static_cast<UINT>(clientWidth(view));
  horizontal.nPos = view.left;
  SetScrollInfo(view.window, SB_HORZ, &horizontal, TRUE);
}

void scrollTo(TextView& view, int topLine, int left) {
  int lastTop = std::max(0, view.lineCount() - rowsInView(view));
  int lastLeft = std::max(0, view.textWidth + 2 * kMargin - clientWidth(view));
  topLine = std::clamp(topLine, 0, lastTop);
  left = std::clamp(left, 0, lastLeft);
  if (topLine == view.topLine && left == view.left) return;
  view.topLine = topLine;
  view.left = left;
  InvalidateRect(view.window, nullptr, FALSE);
  updateScrollBars(view);
  placeCaret(view);
}

void scrollIntoView(TextView& view, std::size_t offset) {
  int line = lineOf(view, offset);
  int rows = rowsInView(view);
  int top = view.topLine;
  if (line < top) top = line;
  if (line >= top + rows) top = line - rows + 1;
  PaneDc dc(view);
  int x = xOf(view, dc, offset);
  int width = clientWidth(view) - 2 * kMargin;
  int left = view.left;
  if (x < left) left = std::max(0, x - width / 4);
  if (x > left + width) left = x - width + width / 4;
  scrollTo(view, top, left);
}

// Moves the caret to `offset`; the selection follows it iff `extend`.
void moveCaret(TextView& view, std::size_t offset, bool extend, bool show) {
  view.caret = std::min(offset, view.text.size());
  if (!extend) view.anchor = view.caret;
  InvalidateRect(view.window, nullptr, FALSE);
  if (show) scrollIntoView(view, view.caret);
  placeCaret(view);
}

void select(TextView& view, std::size_t anchor, std::size_t caret) {
  view.anchor = std::min(anchor, view.text.size());
  moveCaret(view, caret, true, false);
}

void setText(TextView& view, std::string_view text) {
  view.text = text.substr(0, text.find('\0'));
  view.lineStarts.assign(1, 0);
  for (std::size_t at = view.text.find('\n'); at != std::string_view::npos;
       at = view.text.find('\n', at + 1))
    view.lineStarts.push_back(at + 1);
  // The longest lines by bytes are measured for the width of the text.
  std::vector<std::pair<std::size_t, int>> longest;
  longest.reserve(view.lineStarts.size());
  for (int line = 0; line < view.lineCount(); ++line)
    longest.emplace_back(lineEnd(view, line) - view.lineStarts[static_cast<std::size_t>(line)],
                         line);
  std::size_t measured = std::min(longest.size(), kMeasuredLines);
  std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(measured),
                    longest.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  PaneDc dc(view);
  view.textWidth = 0;
  for (std::size_t i = 0; i < measured; ++i) {
    int line = longest[i].second;
    view.textWidth =
        std::max(view.textWidth, widthOf(dc, lineText(view, line, lineEnd(view, line))));
  }
  view.topLine = 0;
  view.left = 0;
  view.anchor = view.caret = 0;
  view.wantedX = -1;
  updateScrollBars(view);
  InvalidateRect(view.window, nullptr, FALSE);
  placeCaret(view);
}

// `text` with each line end, CRs and an LF, as CR LF: the clipboard's.
std::string withCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t crs = 0;
  for (char c : text) {
    if (c == '\r') {
      ++crs;
      continue;
    }
    out.append(c == '\n' ? 1 : crs, '\r');
    crs = 0;
    out += c;
  }
  return out.append(crs, '\r');
}

void copySelection(const TextView& view) {
  std::string selected = withCrLf(
      view.text.substr(view.selectionStart(), view.selectionEnd() - view.selectionStart()));
  if (selected.empty() || !OpenClipboard(view.window)) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, selected.size() + 1)) {
    auto* out = static_cast<char*>(GlobalLock(memory));
    std::memcpy(out, selected.data(), selected.size());
    out[selected.size()] = '\0';
    GlobalUnlock(memory);
    if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
  }
  CloseClipboard();
}

// ---- painting ---------------------------------------------------------------

struct Colours {
  HBRUSH background;
  COLORREF text, back, selectedText, selectedBack;
};

// As a read-only edit control: the parent chooses the colours.
Colours coloursOf(const TextView& view, HDC dc) {
  Colours colours;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_3DFACE));
  colours.background = reinterpret_cast<HBRUSH>(
      SendMessageA(GetParent(view.window), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(view.window)));
  if (colours.background == nullptr) colours.background = GetSysColorBrush(COLOR_3DFACE);
  colours.text = GetTextColor(dc);
  colours.back = GetBkColor(dc);
  colours.selectedText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  colours.selectedBack = GetSysColor(COLOR_HIGHLIGHT);
  return colours;
}

// Paints line `line` at y; returns its width.
int paintLine(const TextView& view, HDC dc, const Colours& colours, int line, int y) {
  std::size_t start = view.lineStarts[static_cast<std::size_t>(line)];
  std::size_t end = lineEnd(view, line);
  int origin = kMargin - view.left;
  std::size_t from = view.focused ? std::clamp(view.selectionStart(), start, end) : end;
  std::size_t to = view.focused ? std::clamp(view.selectionEnd(), start, end) : end;
  std::string_view text = view.text.substr(start, end - start);
  auto part = [&](std::size_t a, std::size_t b) { return text.substr(a - start, b - a); };
  int fromX = widthOf(dc, part(start, from));
  int toX = fromX + widthOf(dc, part(from, to));
  SetTextColor(dc, colours.text);
  SetBkColor(dc, colours.back);
  drawText(dc, origin, y, part(start, from), origin);
  drawText(dc, origin + toX, y, part(to, end), origin);
  SetTextColor(dc, colours.selectedText);
  SetBkColor(dc, colours.selectedBack);
  drawText(dc, origin + fromX, y, part(from, to), origin);
  return to == end ? toX : toX + widthOf(dc, part(to, end));
}

void paint(TextView& view) {
  PAINTSTRUCT paintStruct;
  HDC dc = BeginPaint(view.window, &paintStruct);
  HGDIOBJ oldFont = SelectObject(dc, PaneDc::font(view));
  Colours colours = coloursOf(view, dc);
  SetBkMode(dc, OPAQUE);
  RECT client;
  GetClientRect(view.window, &client);
  FillRect(dc, &paintStruct.rcPaint, colours.background);
  int widest = view.textWidth;
  int first = view.topLine + static_cast<int>(paintStruct.rcPaint.top) / view.lineHeight;
  for (int line = first; line < view.lineCount(); ++line) {
    int y = (line - view.topLine) * view.lineHeight;
    if (y >= paintStruct.rcPaint.bottom) break;
    widest = std::max(widest, paintLine(view, dc, colours, line, y));
  }
  SelectObject(dc, oldFont);
  EndPaint(view.window, &paintStruct);
  if (widest > view.textWidth) {
    view.textWidth = widest;
    updateScrollBars(view);
  }
}

// ---- input ------------------------------------------------------------------

std::size_t previousCharacter(const TextView& view, std::size_t offset) {
  int line = lineOf(view, offset);
  std::size_t start = view.lineStarts[static_cast<std::size_t>(line)];
  offset = onLine(view, offset, line);
  if (offset == start) return line > 0 ? lineEnd(view, line - 1) : 0;
  std::size_t previous = start;
  for (std::size_t at = start; at < offset;
       at += IsDBCSLeadByte(static_cast<BYTE>(view.text[at])) ? 2 : 1)
    previous = at;
  return previous;
}

std::size_t nextCharacter(const TextView& view, std::size_t offset) {
  int line = lineOf(view, offset);
  std::size_t end = lineEnd(view, line);
  if (offset >= end) {
    return line + 1 < view.lineCount() ? view.lineStarts[static_cast<std::size_t>(line) + 1]
                                       : view.text.size();
  }
  return offset +
         (IsDBCSLeadByte(static_cast<BYTE>(view.text[offset])) && offset + 1 < end ? 2 : 1);
}

// The caret `lines` lines up (negative) or down, at the x it had.
std::size_t lineMove(TextView& view, int lines) {
  PaneDc dc(view);
  if (view.wantedX < 0) view.wantedX = xOf(view, dc, view.caret);
  int line = std::clamp(lineOf(view, view.caret) + lines, 0, view.lineCount() - 1);
  return offsetAt(view, dc, line, view.wantedX);
}

// A parent that moves the focus to an edit control with the text hands it
// the key too.
void tellEditKey(const TextView& view, UINT message, WPARAM wParam, LPARAM lParam) {
  SendMessageA(GetParent(view.window), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(view.window), kTextViewEditKey),
               reinterpret_cast<LPARAM>(view.window));
  HWND focus = GetFocus();
  if (focus != nullptr && focus != view.window) SendMessageA(focus, message, wParam, lParam);
}

// Characters that an edit control would insert or act on: printable ones
// (double-byte lead bytes among them), Backspace, Return, Ctrl+V and Ctrl+X.
bool editsText(WPARAM character) {
  return character >= 0x20 || character == '\b' || character == '\r' || character == 0x16 ||
         character == 0x18;
}

void onKey(TextView& view, WPARAM key, LPARAM lParam) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool control = GetKeyState(VK_CONTROL) < 0;
  // Delete, Shift+Delete (cut) and Shift+Insert (paste).
  if (key == VK_DELETE || (shift && key == VK_INSERT)) {
    tellEditKey(view, WM_KEYDOWN, key, lParam);
    return;
  }
  if (control && key == 'A') {
    select(view, 0, view.text.size());
    return;
  }
  if (control && (key == 'C' || key == VK_INSERT)) {
    copySelection(view);
    return;
  }
  int line = lineOf(view, view.caret);
  int rows = rowsInView(view);
  std::size_t to;
  switch (key) {
    case VK_LEFT: to = previousCharacter(view, view.caret); break;
    case VK_RIGHT: to = nextCharacter(view, view.caret); break;
    case VK_UP: to = lineMove(view, -1); break;
    case VK_DOWN: to = lineMove(view, 1); break;
    case VK_PRIOR:
      to = lineMove(view, -rows);
      scrollTo(view, view.topLine - rows, view.left);
      break;
    case VK_NEXT:
      to = lineMove(view, rows);
      scrollTo(view, view.topLine + rows, view.left);
      break;
    case VK_HOME: to = control ? 0 : view.lineStarts[static_cast<std::size_t>(line)]; break;
    case VK_END: to = control ? view.text.size() : lineEnd(view, line); break;
    default: return;
  }
  bool vertical = key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
  if (!vertical) view.wantedX = -1;
  moveCaret(view, to, shift, true);
}

std::size_t offsetAtPoint(TextView& view, int x, int y) {
  int row = y >= 0 ? y / view.lineHeight : -1 - (-y - 1) / view.lineHeight;
  int line = std::clamp(view.topLine + row, 0, view.lineCount() - 1);
  PaneDc dc(view);
  return offsetAt(view, dc, line, x - kMargin + view.left);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A double-click takes the word under the pointer, as in an edit control.
void selectWord(TextView& view, std::size_t offset) {
  std::size_t start = offset, end = offset;
  while (start > 0 && !isBlank(view.text[start - 1])) --start;
  while (end < view.text.size() && !isBlank(view.text[end])) ++end;
  select(view, start, end);
}

void onScroll(TextView& view, int bar, WORD request) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(view.window, bar, &info);
  int step = bar == SB_VERT ? 1 : view.charWidth;
  int page = bar == SB_VERT ? rowsInView(view) : clientWidth(view);
  int position = info.nPos;
  switch (request) {
    case SB_LINEUP: position -= step; break;
    case SB_LINEDOWN: position += step; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return;
  }
  if (bar == SB_VERT) {
    scrollTo(view, position, view.left);
  } else {
    scrollTo(view, view.topLine, position);
  }
}

void showMenu(TextView& view, int x, int y) {
  // The menu acts on the pane clicked: it takes the focus, so that the
  // selection it copies or makes is the one shown (only the focused pane
  // shows its selection).
  if (!view.focused) SetFocus(view.window);
  HMENU menus = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_PANE));
  if (menus == nullptr) return;
  HMENU menu = GetSubMenu(menus, 0);
  if (view.selectionStart() == view.selectionEnd())
    EnableMenuItem(menu, IDM_PANE_COPY, MF_BYCOMMAND | MF_GRAYED);
  if (x == -1 && y == -1) {
    // From the keyboard: at the caret.
    RECT client;
    GetClientRect(view.window, &client);
    POINT point = {client.left, client.top};
    ClientToScreen(view.window, &point);
    x = point.x;
    y = point.y;
  }
  int command =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, view.window, nullptr);
  DestroyMenu(menus);
  if (command == IDM_PANE_COPY) copySelection(view);
  if (command == IDM_PANE_SELECT_ALL) select(view, 0, view.text.size());
}

void onFocus(TextView& view, bool focused) {
  view.focused = focused;
  if (focused) {
    CreateCaret(view.window, nullptr, 1, view.lineHeight);
    placeCaret(view);
    ShowCaret(view.window);
  } else {
    DestroyCaret();
  }
  InvalidateRect(view.window, nullptr, FALSE);
}

void setFont(TextView& view, HFONT font) {
  view.font = font;
  PaneDc dc(view);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  view.lineHeight = std::max(1, static_cast<int>(metrics.tmHeight));
  view.charWidth = std::max(1, static_cast<int>(metrics.tmAveCharWidth));
  setText(view, view.text);
}

LRESULT onEditMessage(TextView& view, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case EM_GETSEL: {
      auto start = static_cast<DWORD>(view.selectionStart());
      auto end = static_cast<DWORD>(view.selectionEnd());
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = start;
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = end;
      return MAKELRESULT(start, end);
    }
    case EM_SETSEL: {
      auto start = static_cast<int>(wParam);
      auto end = static_cast<int>(lParam);
      if (start < 0) {
        select(view, view.caret, view.caret);
      } else {
        select(view, static_cast<std::size_t>(start),
               end < 0 ? view.text.size() : static_cast<std::size_t>(end));
      }
      return 0;
    }
    case EM_GETFIRSTVISIBLELINE: return view.topLine;
    case EM_LINESCROLL:
      scrollTo(view, view.topLine + static_cast<int>(lParam),
               view.left + static_cast<int>(wParam) * view.charWidth);
      return TRUE;
    case EM_SCROLLCARET: scrollIntoView(view, view.caret); return TRUE;
    case EM_POSFROMCHAR: {
      auto offset = std::min(static_cast<std::size_t>(wParam), view.text.size());
      PaneDc dc(view);
      int x = kMargin - view.left + xOf(view, dc, offset);
      int y = (lineOf(view, offset) - view.topLine) * view.lineHeight;
      return MAKELRESULT(static_cast<WORD>(x), static_cast<WORD>(y));
    }
    case EM_GETRECT: {
      RECT client;
      GetClientRect(view.window, &client);
      client.left = kMargin;
      *reinterpret_cast<RECT*>(lParam) = client;
      return 0;
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(view.text.size());
    case WM_GETTEXT: {
      if (wParam == 0) return 0;
      std::size_t size = std::min(view.text.size(), static_cast<std::size_t>(wParam) - 1);
      auto* out = reinterpret_cast<char*>(lParam);
      std::memcpy(out, view.text.data(), size);
      out[size] = '\0';
      return static_cast<LRESULT>(size);
    }
    case WM_COPY: copySelection(view); return 0;
    default: return DefWindowProcA(view.window, message, wParam, lParam);
  }
}

LRESULT onMessage(TextView& view, UINT message, WPARAM wParam, LPARAM lParam) {
  auto x = static_cast<short>(LOWORD(lParam));
  auto y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case kSetText: setText(view, *reinterpret_cast<const std::string_view*>(lParam)); return 0;
    case WM_PAINT: paint(view); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
      updateScrollBars(view);
      scrollTo(view, view.topLine, view.left);
      return 0;
    case WM_SETFONT:
      setFont(view, reinterpret_cast<HFONT>(wParam));
      if (LOWORD(lParam) != 0) InvalidateRect(view.window, nullptr, FALSE);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(view.font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS: onFocus(view, true); return 0;
    case WM_KILLFOCUS: onFocus(view, false); return 0;
    case WM_KEYDOWN: onKey(view, wParam, lParam); return 0;
    case WM_CHAR:
      if (editsText(wParam)) tellEditKey(view, message, wParam, lParam);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(view.window);
      view.wantedX = -1;
      moveCaret(view, offsetAtPoint(view, x, y), (wParam & MK_SHIFT) != 0, true);
      SetCapture(view.window);
      view.dragging = true;
      return 0;
    case WM_MOUSEMOVE:
      if (view.dragging) moveCaret(view, offsetAtPoint(view, x, y), true, true);
      return 0;
    case WM_LBUTTONUP:
      if (view.dragging) {
        moveCaret(view, offsetAtPoint(view, x, y), true, true);
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED: view.dragging = false; return 0;
    case WM_LBUTTONDBLCLK: selectWord(view, offsetAtPoint(view, x, y)); return 0;
    case WM_CONTEXTMENU: showMenu(view, x, y); return 0;
    case WM_MOUSEWHEEL: {
      UINT lines = 3;
      SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
      int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
      scrollTo(view, view.topLine - notches * static_cast<int>(lines), view.left);
      return 0;
    }
    case WM_VSCROLL: onScroll(view, SB_VERT, LOWORD(wParam)); return 0;
    case WM_HSCROLL: onScroll(view, SB_HORZ, LOWORD(wParam)); return 0;
    default: return onEditMessage(view, message, wParam, lParam);
  }
}

LRESULT CALLBACK textViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_NCCREATE) {
      auto* view = new TextView;
      view->window = window;
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    TextView* view = viewOf(window);
    if (view == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete view;
      return DefWindowProcA(window, message, wParam, lParam);
    }
    return onMessage(*view, message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the window manager; a text that cannot
    // be indexed shows as far as it was.
    return message == WM_NCCREATE ? FALSE : 0;
  }
}

}  // namespace

bool registerTextView() {
  WNDCLASSA existing = {};
  if (GetClassInfoA(GetModuleHandleA(nullptr), kTextViewClass, &existing)) return true;
  WNDCLASSA textViewClass = {};
  textViewClass.style = CS_DBLCLKS;
  textViewClass.lpfnWndProc = textViewProc;
  textViewClass.hInstance = GetModuleHandleA(nullptr);
  textViewClass.hCursor = LoadCursorA(nullptr, IDC_IBEAM);
  textViewClass.lpszClassName = kTextViewClass;
  return RegisterClassA(&textViewClass) != 0;
}

void setTextViewText(HWND view, std::string_view text) {
  SendMessageA(view, kSetText, 0, reinterpret_cast<LPARAM>(&text));
}

}  // namespace dorvex
