// The folder browser behind the ".." button of the main dialog.
#include <windows.h>
#include <shlobj.h>

#include "ui/front_end.h"
#include "ui/resource.h"

namespace dorvex {

int CALLBACK browseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
  }
  return 0;
}

bool chooseFolder(HWND owner, std::string& directory) {
  // The shell writes at most MAX_PATH bytes into either buffer.
  char start[1000] = {};
  char chosen[1000] = {};
  directory.copy(start, sizeof start - 1);
  std::string title = loadText(IDS_BROWSE_TITLE);

  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = chosen;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = browseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start);
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  if (item == nullptr) return false;
  bool isPath = SHGetPathFromIDListA(item, chosen) != FALSE;
  CoTaskMemFree(item);
  if (isPath) directory = chosen;
  return isPath;
}

}  // namespace dorvex
