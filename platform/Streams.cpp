#include "Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

int64_t TStream::Size() {
  int64_t here = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(here, soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    int32_t n = Read(p, count);
    if (n <= 0) throw EReadError("Stream read error");
    p += n;
    count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : FFileName(fileName) {
  if (mode == fmCreate) {
    FHandle = open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (FHandle < 0)
      throw EFOpenError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
    return;
  }
  int flags = (mode & 3) == fmOpenWrite ? O_WRONLY : (mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
  FHandle = open(fileName.c_str(), flags | O_CLOEXEC);
  if (FHandle < 0)
    throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) close(FHandle);
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  ssize_t n;
  do {
    n = read(FHandle, buffer, static_cast<size_t>(count));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : static_cast<int32_t>(n);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  ssize_t n;
  do {
    n = write(FHandle, buffer, static_cast<size_t>(count));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : static_cast<int32_t>(n);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = lseek(FHandle, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || FPos >= FData.size()) return 0;
  size_t n = std::min(static_cast<size_t>(count), FData.size() - FPos);
  std::memcpy(buffer, FData.data() + FPos, n);
  FPos += n;
  return static_cast<int32_t>(n);
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  size_t n = static_cast<size_t>(count);
  if (FPos + n > FData.size()) FData.resize(FPos + n);
  std::memcpy(FData.data() + FPos, buffer, n);
  FPos += n;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? static_cast<int64_t>(FPos)
                                                                 : static_cast<int64_t>(FData.size());
  int64_t p = base + offset;
  if (p < 0) p = 0;
  FPos = static_cast<size_t>(p);
  return p;
}

TBinaryFile::~TBinaryFile() {
  if (FHandle >= 0) close(FHandle);
}

void TBinaryFile::Reset() {
  if (FHandle >= 0) Close();
  FHandle = open(FFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (FHandle < 0) RaiseInOutError(errno);
  struct stat st {};
  if (fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(FHandle);
    FHandle = -1;
    RaiseInOutError(EISDIR);
  }
}

int64_t TBinaryFile::FileSize() {
  if (FHandle < 0) throw EInOutError(103, "File not open");
  struct stat st {};
  if (fstat(FHandle, &st) != 0) RaiseInOutError(errno);
  return static_cast<int64_t>(st.st_size);
}

void TBinaryFile::Close() {
  if (FHandle < 0) throw EInOutError(103, "File not open");
  int r = close(FHandle);
  FHandle = -1;
  if (r != 0) RaiseInOutError(errno);
}
