// State and small helpers shared by the dialogs of the Windows front end.
#include "ui/front_end.h"

#include <shlwapi.h>

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

std::string fileNameOf(const std::string& path) {
  return PathFindFileNameA(path.c_str());
}

bool dropGoesLeft(int x, int clientWidth) { return x < clientWidth / 2; }

std::string paneTextOf(const std::string& fileBytes) {
  return fileBytes.substr(0, fileBytes.find('\0'));
}

int showMessage(HWND owner, UINT textId, UINT captionId, UINT type) {
  std::string text = loadText(textId);
  std::string caption = captionId != 0 ? loadText(captionId) : std::string();
  return MessageBoxA(owner, text.c_str(), captionId != 0 ? caption.c_str() : nullptr, type);
}

}  // namespace dorvex
