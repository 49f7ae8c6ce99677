// The report primitives on Windows. Every call takes the long form of a
// path ("\\?\" before the absolute path, in UTF-16 from the system code
// page): the form that every later call accepts whatever the path's length,
// so a long output directory either takes the report or leaves nothing
// behind.
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/report_file.h"
#include "platform/report_primitives.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// The temporary file being written, for the console's control handler,
// which runs on a thread of its own: its long path, and whether it exists.
wchar_t pendingPath[32768];
volatile LONG pendingSet = 0;

// ERROR_DIRECTORY_NOT_SUPPORTED, which not every SDK defines: a path that
// names a folder where a file is meant.
constexpr DWORD kNamesFolder = 336;

// `text`, in the system code page, in UTF-16; false, with the error, when
// it cannot be converted.
bool wideText(std::string_view text, std::wstring& wide, DWORD& error) {
  const std::string narrow(text);
  int length = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, nullptr, 0);
  std::wstring converted(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
  if (length <= 0 ||
      MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, converted.data(), length) <= 0) {
    error = GetLastError();
    return false;
  }
  converted.resize(static_cast<std::size_t>(length - 1));
  wide = std::move(converted);
  return true;
}

// The long form of `path`, ending in a backslash; false, with the error,
// when it has none.
bool longForm(std::string_view path, std::wstring& wide, DWORD& error) {
  std::wstring given;
  if (!wideText(path.empty() ? std::string_view(".") : path, given, error)) return false;
  DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  std::wstring full(size > 0 ? size : 1, L'\0');
  DWORD copied = size > 0 ? GetFullPathNameW(given.c_str(), size, full.data(), nullptr) : 0;
  if (copied == 0 || copied >= size) {
    error = GetLastError();
    return false;
  }
  full.resize(copied);
  if (full.compare(0, 4, L"\\\\?\\") == 0) {
    wide = full;
  } else if (full.compare(0, 2, L"\\\\") == 0) {
    wide = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    wide = L"\\\\?\\" + full;
  }
  if (!wide.empty() && wide.back() != L'\\') wide += L'\\';
  return true;
}

std::wstring widened(const std::string& name) {
  // The names made by the store are ASCII.
  return std::wstring(name.begin(), name.end());
}

// 0 when `folder` (a long path) is a folder, else the error. A missing
// folder or a file in its place fails here, before anything is made.
DWORD checkFolder(const std::wstring& folder) {
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
  return 0;
}

// Gives the temporary file the long path `target` unless anything is there.
DWORD moveNoReplace(const std::wstring& target) {
  if (MoveFileExW(pendingPath, target.c_str(), 0)) {
    InterlockedExchange(&pendingSet, 0);
    return 0;
  }
  DWORD error = GetLastError();
  // A directory at the name refuses with "access denied".
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_FILE_EXISTS;
  return error;
}

BOOL WINAPI onConsoleControl(DWORD) {
  if (InterlockedExchange(&pendingSet, 0) != 0) DeleteFileW(pendingPath);
  // The next handler, the system's, ends the process.
  return FALSE;
}

}  // namespace

struct ReportFolder::Native {
  std::wstring folder;  // long form, ending in a backslash
  std::wstring entry;   // the entry of openFolderOf()
  HANDLE file = INVALID_HANDLE_VALUE;
};

std::string errorText(SystemError error) {
  struct Mapping {
    DWORD error;
    int code;
  };
  static const Mapping kMappings[] = {
      {ERROR_FILE_NOT_FOUND, ENOENT},    {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_INVALID_NAME, ENOENT},      {ERROR_BAD_NETPATH, ENOENT},
      {ERROR_DIRECTORY, ENOTDIR},        {kNamesFolder, EISDIR},
      {ERROR_ACCESS_DENIED, EACCES},     {ERROR_WRITE_PROTECT, EACCES},
      {ERROR_SHARING_VIOLATION, EACCES}, {ERROR_FILE_EXISTS, EEXIST},
      {ERROR_ALREADY_EXISTS, EEXIST},    {ERROR_DISK_FULL, ENOSPC},
      {ERROR_HANDLE_DISK_FULL, ENOSPC},  {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
      {ERROR_NOT_ENOUGH_MEMORY, ENOMEM}, {ERROR_OUTOFMEMORY, ENOMEM},
  };
  for (const Mapping& mapping : kMappings) {
    if (mapping.error == error) return std::strerror(mapping.code);
  }
  return "Windows error " + std::to_string(error);
}

bool isNameTaken(SystemError error) { return error == ERROR_FILE_EXISTS; }

void randomBytes(unsigned char* bytes, std::size_t size) {
  static unsigned counter = 0;
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  unsigned long long mix =
      static_cast<unsigned long long>(ticks.QuadPart) * 6364136223846793005ull +
      GetCurrentProcessId() * 1442695040888963407ull + ++counter * 2654435761ull;
  for (std::size_t k = 0; k < size; ++k) {
    mix = mix * 6364136223846793005ull + 1442695040888963407ull;
    bytes[k] = static_cast<unsigned char>(mix >> 33);
  }
}

ReportFolder::ReportFolder() : native(new Native) {}

ReportFolder::~ReportFolder() {
  if (native->file != INVALID_HANDLE_VALUE) CloseHandle(native->file);
  if (InterlockedExchange(&pendingSet, 0) != 0) DeleteFileW(pendingPath);
}

SystemError ReportFolder::open(std::string_view directory) {
  DWORD error = 0;
  if (!longForm(directory, native->folder, error)) return error;
  return checkFolder(native->folder);
}

SystemError ReportFolder::openFolderOf(const std::string& path) {
  // A path that ends in a separator, "." or ".." names a folder.
  const std::string_view name = fileNamePart(path);
  if (name.empty() || name == "." || name == ".." || path.back() == '/') return kNamesFolder;
  // The long form of the whole path, in which the system has resolved the
  // slashes and the "." and ".." parts, is split into folder and name.
  DWORD error = 0;
  if (!longForm(path, native->folder, error)) return error;
  native->folder.pop_back();
  native->entry = native->folder.substr(native->folder.rfind(L'\\') + 1);
  native->folder.resize(native->folder.size() - native->entry.size());
  return native->entry.empty() ? ERROR_DIRECTORY : checkFolder(native->folder);
}

SystemError ReportFolder::createTemporary(const std::string& name) {
  const std::wstring path = native->folder + widened(name);
  if (path.size() >= sizeof pendingPath / sizeof pendingPath[0]) return ERROR_FILENAME_EXCED_RANGE;
  // FILE_SHARE_DELETE lets the control handler remove the file while it
  // is still open.
  native->file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (native->file == INVALID_HANDLE_VALUE) return GetLastError();
  std::memcpy(pendingPath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  InterlockedExchange(&pendingSet, 1);
  return 0;
}

SystemError ReportFolder::write(std::string_view bytes) {
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD chunk = left < (1u << 30) ? static_cast<DWORD>(left) : (1u << 30);
    DWORD written = 0;
    if (!WriteFile(native->file, next, chunk, &written, nullptr)) return GetLastError();
    next += written;
    left -= written;
  }
  return 0;
}

SystemError ReportFolder::closeTemporary() {
  HANDLE file = native->file;
  native->file = INVALID_HANDLE_VALUE;
  return CloseHandle(file) ? 0 : GetLastError();
}

SystemError ReportFolder::renameNoReplace(const std::string& name) {
  return moveNoReplace(native->folder + widened(name));
}

SystemError ReportFolder::renameToEntry(bool replace) {
  const std::wstring target = native->folder + native->entry;
  if (!replace) return moveNoReplace(target);
  if (!MoveFileExW(pendingPath, target.c_str(), MOVEFILE_REPLACE_EXISTING)) return GetLastError();
  InterlockedExchange(&pendingSet, 0);
  return 0;
}

bool ReportFolder::entryIsFolder() const {
  if (native->entry.empty()) return false;
  const DWORD attributes = GetFileAttributesW((native->folder + native->entry).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void handleSignalsOfReportWrites() { SetConsoleCtrlHandler(onConsoleControl, TRUE); }

bool stdoutIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace dorvex
