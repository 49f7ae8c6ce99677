// State and small helpers shared by the dialogs of the Windows front end.
#include "ui/front_end.h"

#include <shlwapi.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace dorvex {

FrontEndState& frontEndState() {
  static FrontEndState state;
  return state;
}

CheckWorkspace& checkWorkspace() {
  static CheckWorkspace workspace;
  return workspace;
}

std::string loadText(UINT id) {
  // LoadStringA converts the UTF-16 resource to the system code page; a
  // Japanese text can take two bytes a character, hence the room.
  char text[1024] = {};
  int length = LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
  return std::string(text, length > 0 ? length : 0);
}

std::string windowText(HWND window) {
  // The length is an upper bound in a double-byte code page; the copy
  // tells the real one.
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::string fileNameOf(const std::string& path) { return PathFindFileNameA(path.c_str()); }

namespace {

int textWidth(HDC dc, std::string_view text) {
  SIZE size = {};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// The offsets at which the characters of `text` start, and its end.
std::vector<std::size_t> characterStarts(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size();
       at += IsDBCSLeadByte(static_cast<BYTE>(text[at])) ? 2 : 1) {
    starts.push_back(at);
  }
  starts.push_back(text.size());
  return starts;
}

}  // namespace

std::string fittedFileName(HDC dc, const std::string& name, int width) {
  if (textWidth(dc, name) <= width) return name;
  const std::string kDots = "...";
  int room = width - textWidth(dc, kDots);
  std::vector<std::size_t> starts = characterStarts(name);
  // The longest end that fits half of the room, then the longest start
  // that fits with it.
  std::size_t tail = starts.size() - 1;
  while (tail > 0 && textWidth(dc, std::string_view(name).substr(starts[tail - 1])) <= room / 2)
    --tail;
  std::string end = name.substr(std::min(starts[tail], name.size()));
  std::size_t head = 0;
  while (head + 1 < tail && textWidth(dc, name.substr(0, starts[head + 1]) + kDots + end) <= width)
    ++head;
  return name.substr(0, starts[head]) + kDots + end;
}

void drawFileName(const DRAWITEMSTRUCT& item) {
  HWND label = item.hwndItem;
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));
  HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  std::string shown = fittedFileName(dc, windowText(label), area.right - area.left);
  DrawTextA(dc, shown.c_str(), -1, &area, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
}

bool dropGoesLeft(int x, int clientWidth) { return x < clientWidth / 2; }

std::string paneTextOf(const std::string& fileBytes) {
  return fileBytes.substr(0, fileBytes.find('\0'));
}

void discardInput() {
  MSG message;
  const UINT kRanges[][2] = {{WM_KEYFIRST, WM_KEYLAST},
                             {WM_MOUSEFIRST, WM_MOUSELAST},
                             {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
  for (const auto& range : kRanges) {
    while (PeekMessageA(&message, nullptr, range[0], range[1], PM_REMOVE)) {
    }
  }
}

int showMessage(HWND owner, UINT textId, UINT captionId, UINT type) {
  std::string text = loadText(textId);
  std::string caption = captionId != 0 ? loadText(captionId) : std::string();
  return MessageBoxA(owner, text.c_str(), captionId != 0 ? caption.c_str() : nullptr, type);
}

}  // namespace dorvex
