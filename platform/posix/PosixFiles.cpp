#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "HostFile.h"

namespace {

// The platform's I/O error numbers for the host's errno values.
int InOutCodeFromErrno(int e) {
  switch (e) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    case EBADF: return 6;
    case ENOSPC: return 101;
    default: return 100;
  }
}

THostFileError ErrorFromErrno(int e) { return THostFileError{InOutCodeFromErrno(e), std::strerror(e)}; }

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

THostFile::~THostFile() {
  if (IsOpen()) close(Descriptor(FHandle));
}

bool THostFile::Open(const std::string& fileName, TAccess access) {
  // POSIX hosts have no text mode: every descriptor is binary.
  static constexpr int kFlags[] = {O_RDONLY, O_WRONLY, O_RDWR, O_RDWR | O_CREAT | O_TRUNC};
  if (IsOpen()) close(Descriptor(std::exchange(FHandle, -1)));
  const int fd = open(fileName.c_str(), kFlags[access] | O_CLOEXEC, 0644);
  if (fd < 0) {
    FError = ErrorFromErrno(errno);
    return false;
  }
  FHandle = fd;
  FError = {};
  return true;
}

bool THostFile::IsDirectory() const {
  struct stat st {};
  return IsOpen() && fstat(Descriptor(FHandle), &st) == 0 && S_ISDIR(st.st_mode);
}

int32_t THostFile::Read(void* buffer, int32_t count) {
  ssize_t n;
  do {
    n = read(Descriptor(FHandle), buffer, static_cast<size_t>(count));
  } while (n < 0 && errno == EINTR);
  if (n < 0) FError = ErrorFromErrno(errno);
  return static_cast<int32_t>(n);
}

int32_t THostFile::Write(const void* buffer, int32_t count) {
  ssize_t n;
  do {
    n = write(Descriptor(FHandle), buffer, static_cast<size_t>(count));
  } while (n < 0 && errno == EINTR);
  if (n < 0) FError = ErrorFromErrno(errno);
  return static_cast<int32_t>(n);
}

int64_t THostFile::Seek(int64_t offset, TSeekOrigin origin) {
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  const off_t r = lseek(Descriptor(FHandle), static_cast<off_t>(offset), kWhence[origin]);
  if (r < 0) FError = ErrorFromErrno(errno);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t THostFile::Size() {
  struct stat st {};
  if (fstat(Descriptor(FHandle), &st) != 0) {
    FError = ErrorFromErrno(errno);
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

bool THostFile::Close() {
  const int r = close(Descriptor(FHandle));
  FHandle = -1;
  if (r != 0) FError = ErrorFromErrno(errno);
  return r == 0;
}

std::string ProgramFileName() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}
