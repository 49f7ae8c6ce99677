// Entry function of dorvex.exe: registers the window class, runs the main
// dialog, then the message loop with the accelerators until the quit message.
#include <windows.h>

#include "ui/front_end.h"
#include "ui/resource.h"

namespace {

bool registerWindowClass(HINSTANCE instance, const char* className) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = dorvex::mainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_DORVEX));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDM_DORVEX);
  windowClass.lpszClassName = className;
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
  return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  char className[100] = {};
  LoadStringA(instance, IDS_CLASS_NAME, className, sizeof className);
  registerWindowClass(instance, className);
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_DORVEX));
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, dorvex::mainDialogProc, 0);

  // The accelerators act here only, once the dialog has gone.
  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int>(message.wParam);
}
