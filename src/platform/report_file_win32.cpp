// ReportFiles on Windows. Every call takes the long form of a path
// ("\\?\" before the absolute path, in UTF-16 from the system code page):
// the form that every later call accepts whatever the path's length, so a
// long output directory either takes the report or leaves nothing behind.
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/report_file.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// The temporary file being written, for the console's control handler,
// which runs on a thread of its own: its long path, and whether it exists.
wchar_t pendingPath[32768];
volatile LONG pendingSet = 0;

// The C library's text for a Windows error, so that the console driver
// says the same as on POSIX.
std::string reasonFor(DWORD error) {
  struct Mapping {
    DWORD error;
    int code;
  };
  static const Mapping kMappings[] = {
      {ERROR_FILE_NOT_FOUND, ENOENT},
      {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_INVALID_NAME, ENOENT},
      {ERROR_BAD_NETPATH, ENOENT},
      {ERROR_DIRECTORY, ENOTDIR},
      {ERROR_ACCESS_DENIED, EACCES},
      {ERROR_WRITE_PROTECT, EACCES},
      {ERROR_SHARING_VIOLATION, EACCES},
      {ERROR_FILE_EXISTS, EEXIST},
      {ERROR_ALREADY_EXISTS, EEXIST},
      {ERROR_DISK_FULL, ENOSPC},
      {ERROR_HANDLE_DISK_FULL, ENOSPC},
      {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
      {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
      {ERROR_OUTOFMEMORY, ENOMEM},
  };
  for (const Mapping& mapping : kMappings) {
    if (mapping.error == error) return std::strerror(mapping.code);
  }
  return "Windows error " + std::to_string(error);
}

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

// The long form of `path`; false, with the error, when it has none.
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
  // The names made here are ASCII.
  return std::wstring(name.begin(), name.end());
}

class TemporaryFile {
 public:
  ~TemporaryFile() { remove(); }

  HANDLE create(const std::wstring& path) {
    if (path.size() >= sizeof pendingPath / sizeof pendingPath[0]) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return INVALID_HANDLE_VALUE;
    }
    // FILE_SHARE_DELETE lets the control handler remove the file while it
    // is still open.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      std::memcpy(pendingPath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
      InterlockedExchange(&pendingSet, 1);
    }
    return file;
  }

  // Gives the file the name `report` unless something is there already.
  // Returns 0, or the error (ERROR_FILE_EXISTS when the name is taken).
  DWORD claim(const std::wstring& report) {
    if (MoveFileExW(pendingPath, report.c_str(), 0)) {
      InterlockedExchange(&pendingSet, 0);
      return 0;
    }
    DWORD error = GetLastError();
    // A directory at the name refuses with "access denied".
    if (GetFileAttributesW(report.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_FILE_EXISTS;
    return error;
  }

  // Gives the file the name `name` in one step, whatever file or link is
  // there (the link itself is replaced). Returns 0 or the error.
  DWORD replace(const std::wstring& name) {
    if (!MoveFileExW(pendingPath, name.c_str(), MOVEFILE_REPLACE_EXISTING)) return GetLastError();
    InterlockedExchange(&pendingSet, 0);
    return 0;
  }

  void remove() {
    if (InterlockedExchange(&pendingSet, 0) != 0) DeleteFileW(pendingPath);
  }
};

std::string randomLetters() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned counter = 0;
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  unsigned long long mix =
      static_cast<unsigned long long>(ticks.QuadPart) * 6364136223846793005ull +
      GetCurrentProcessId() * 1442695040888963407ull + ++counter * 2654435761ull;
  std::string letters;
  for (int k = 0; k < 6; ++k) {
    mix = mix * 6364136223846793005ull + 1442695040888963407ull;
    letters += kAlphabet[(mix >> 33) % (sizeof kAlphabet - 1)];
  }
  return letters;
}

DWORD writeAll(HANDLE file, const std::vector<std::string_view>& pieces) {
  for (std::string_view piece : pieces) {
    const char* next = piece.data();
    std::size_t left = piece.size();
    while (left > 0) {
      DWORD chunk = left < (1u << 30) ? static_cast<DWORD>(left) : (1u << 30);
      DWORD written = 0;
      if (!WriteFile(file, next, chunk, &written, nullptr)) return GetLastError();
      next += written;
      left -= written;
    }
  }
  return 0;
}

// 0 when `folder` (a long path) is a folder, else the error. A missing
// folder or a file in its place fails here, before anything is made.
DWORD checkFolder(const std::wstring& folder) {
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
  return 0;
}

// The long form of the folder `directory` into `folder`. Returns 0, or the
// error when it has none or is no folder.
DWORD openFolder(std::string_view directory, std::wstring& folder) {
  DWORD error = 0;
  if (!longForm(directory, folder, error)) return error;
  return checkFolder(folder);
}

// Creates a temporary file named `prefix` (a long path) and random letters
// and writes `pieces` to it. Returns 0, or the error.
DWORD writeTemporary(TemporaryFile& temporary, const std::wstring& prefix,
                     const std::vector<std::string_view>& pieces) {
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    file = temporary.create(prefix + widened(randomLetters()));
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = writeAll(file, pieces);
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  return error;
}

BOOL WINAPI onConsoleControl(DWORD) {
  if (InterlockedExchange(&pendingSet, 0) != 0) DeleteFileW(pendingPath);
  // The next handler, the system's, ends the process.
  return FALSE;
}

}  // namespace

bool ReportFiles::store(std::string_view directory, std::string_view fileName,
                        const std::vector<std::string_view>& pieces, std::string& path,
                        std::string& reason) {
  std::wstring folder;
  DWORD error = openFolder(directory, folder);
  if (error != 0) {
    reason = reasonFor(error);
    return false;
  }
  TemporaryFile temporary;
  error = writeTemporary(temporary, folder + widened(temporaryNamePrefix(fileName)), pieces);
  for (int number = firstNumber(directory, fileName); error == 0 && number <= kMaxNumber;
       ++number) {
    const std::string name = numberedFileName(fileName, number);
    std::string candidate = reportPath(directory, name);
    error = temporary.claim(folder + widened(name));
    if (error == 0) {
      took(directory, fileName, number);
      path = std::move(candidate);
      return true;
    }
    if (error == ERROR_FILE_EXISTS) error = number < kMaxNumber ? 0 : ERROR_FILE_EXISTS;
  }
  reason = reasonFor(error);
  return false;
}

bool NamedReportFile::store(std::string_view, std::string_view,
                            const std::vector<std::string_view>& pieces, std::string& path,
                            std::string& reason) {
  taken = false;
  // A path that ends in a separator, "." or ".." names a folder.
  const std::string_view name = fileNamePart(target);
  if (name.empty() || name == "." || name == ".." || target.back() == '/') {
    reason = std::strerror(EISDIR);
    return false;
  }
  // The long form of the whole path, in which the system has resolved the
  // slashes and the "." and ".." parts, is split into folder and name.
  std::wstring folder, wideName;
  DWORD error = 0;
  if (longForm(target, folder, error)) {
    folder.pop_back();
    wideName = folder.substr(folder.rfind(L'\\') + 1);
    folder.resize(folder.size() - wideName.size());
    error = wideName.empty() ? ERROR_DIRECTORY : checkFolder(folder);
  }
  TemporaryFile temporary;
  if (error == 0) error = writeTemporary(temporary, folder + widened(kTemporaryPrefix), pieces);
  if (error == 0) {
    error =
        replaceExisting ? temporary.replace(folder + wideName) : temporary.claim(folder + wideName);
  }
  if (error != 0) {
    taken = error == ERROR_FILE_EXISTS;
    reason = reasonFor(error);
    return false;
  }
  path = target;
  return true;
}

void removeTemporaryReportOnInterrupt() { SetConsoleCtrlHandler(onConsoleControl, TRUE); }

}  // namespace dorvex
