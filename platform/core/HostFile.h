// The host's files as the platform's streams and the screenshot writer use them: open, read,
// write, seek, size and close one file, always in binary mode (a text mode would corrupt a
// firmware image on hosts that have one). One implementation per host. A THostFile owns its
// handle and closes it when destroyed; one thread at a time.
//
// A failed call returns false (or -1) and leaves the reason in Error(): the platform's I/O
// error number and text ("File not found"), and the host's own words for it.
#pragma once
#include <cstdint>
#include <string>

#include "SysUtils.h"

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

struct THostFileError {
  int InOutCode = 0;   // 0: no error; else 2 "File not found", 3, 4, 5, 6, 100, 101
  std::string Reason;  // the host's text, e.g. "No such file or directory"
  explicit operator bool() const { return InOutCode != 0; }
  // Raises EInOutError with the platform's number and text.
  [[noreturn]] void Raise() const { RaiseInOutError(InOutCode); }
};

class THostFile {
 public:
  enum TAccess : uint8_t { haRead, haWrite, haReadWrite, haCreate };  // haCreate truncates

  THostFile() = default;
  ~THostFile();
  THostFile(const THostFile&) = delete;
  THostFile& operator=(const THostFile&) = delete;

  [[nodiscard]] bool Open(const std::string& fileName, TAccess access);
  bool IsOpen() const { return FHandle != -1; }
  // True when the open file is a directory (some hosts open one for reading).
  bool IsDirectory() const;
  // Each moves what it can and returns the count, or -1; an interrupted call is resumed.
  int32_t Read(void* buffer, int32_t count);
  int32_t Write(const void* buffer, int32_t count);
  // The new position, or -1.
  int64_t Seek(int64_t offset, TSeekOrigin origin);
  // The size in bytes, or -1.
  int64_t Size();
  // Closes the file; false when the host reports a failure (e.g. a late write error).
  bool Close();
  const THostFileError& Error() const { return FError; }

 private:
  intptr_t FHandle = -1;
  THostFileError FError;
};

// The running program's file name with its path, or "" when the host cannot say.
std::string ProgramFileName();
