#include <string>

#include "HostFile.h"
#include "Win32Text.h"
#include "WinPrelude.h"  // last: see there

namespace {

// The platform's I/O error numbers are the system's own for the common failures.
int InOutCodeFromError(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND: return 2;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return 3;
    case ERROR_TOO_MANY_OPEN_FILES: return 4;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return 5;
    case ERROR_INVALID_HANDLE: return 6;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return 101;
    default: return 100;
  }
}

THostFileError LastError() {
  const DWORD e = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, e, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n ? Cp1252FromWide(text, n) : "Error " + std::to_string(e);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  return THostFileError{InOutCodeFromError(e), reason};
}

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

THostFile::~THostFile() {
  if (IsOpen()) CloseHandle(Handle(FHandle));
}

bool THostFile::Open(const std::string& fileName, TAccess access) {
  // Handles from CreateFileW are always binary: no layer here translates line ends.
  static constexpr DWORD kDesired[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE,
                                       GENERIC_READ | GENERIC_WRITE};
  static constexpr DWORD kDisposition[] = {OPEN_EXISTING, OPEN_EXISTING, OPEN_EXISTING, CREATE_ALWAYS};
  if (IsOpen()) CloseHandle(Handle(FHandle));
  const HANDLE h = CreateFileW(WideFromCp1252(fileName).c_str(), kDesired[access], FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, kDisposition[access], FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    FHandle = -1;
    FError = LastError();
    return false;
  }
  FHandle = reinterpret_cast<intptr_t>(h);
  FError = {};
  return true;
}

bool THostFile::IsDirectory() const {
  BY_HANDLE_FILE_INFORMATION info{};
  return IsOpen() && GetFileInformationByHandle(Handle(FHandle), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int32_t THostFile::Read(void* buffer, int32_t count) {
  DWORD n = 0;
  if (!ReadFile(Handle(FHandle), buffer, static_cast<DWORD>(count), &n, nullptr)) {
    FError = LastError();
    return -1;
  }
  return static_cast<int32_t>(n);
}

int32_t THostFile::Write(const void* buffer, int32_t count) {
  DWORD n = 0;
  if (!WriteFile(Handle(FHandle), buffer, static_cast<DWORD>(count), &n, nullptr)) {
    FError = LastError();
    return -1;
  }
  return static_cast<int32_t>(n);
}

int64_t THostFile::Seek(int64_t offset, TSeekOrigin origin) {
  static constexpr DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(Handle(FHandle), distance, &position, kMethod[origin])) {
    FError = LastError();
    return -1;
  }
  return position.QuadPart;
}

int64_t THostFile::Size() {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle(FHandle), &size)) {
    FError = LastError();
    return -1;
  }
  return size.QuadPart;
}

bool THostFile::Close() {
  const bool ok = CloseHandle(Handle(FHandle)) != 0;
  FHandle = -1;
  if (!ok) FError = LastError();
  return ok;
}

std::string ProgramFileName() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return n == 0 || n >= path.size() ? std::string() : Cp1252FromWide(path.data(), n);
}
