#include "Streams.h"

#include <algorithm>
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
  const uint16_t access = mode & 3;
  const THostFile::TAccess how = mode == fmCreate            ? THostFile::haCreate
                                 : access == fmOpenWrite     ? THostFile::haWrite
                                 : access == fmOpenReadWrite ? THostFile::haReadWrite
                                                             : THostFile::haRead;
  if (!FFile.Open(fileName, how))
    throw EFOpenError(
        Format(how == THostFile::haCreate ? "Cannot create file \"%s\". %s" : "Cannot open file \"%s\". %s",
               fileName.c_str(), FFile.Error().Reason.c_str()));
}

TFileStream::~TFileStream() = default;

int32_t TFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const int32_t n = FFile.Read(buffer, count);
  return n < 0 ? 0 : n;
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const int32_t n = FFile.Write(buffer, count);
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) { return FFile.Seek(offset, origin); }

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
  int64_t base = origin == soBeginning ? 0
                 : origin == soCurrent ? static_cast<int64_t>(FPos)
                                       : static_cast<int64_t>(FData.size());
  int64_t p = base + offset;
  if (p < 0) p = 0;
  FPos = static_cast<size_t>(p);
  return p;
}

TBinaryFile::~TBinaryFile() = default;

void TBinaryFile::Reset() {
  if (FFile.IsOpen()) Close();
  if (!FFile.Open(FFileName, THostFile::haRead)) FFile.Error().Raise();
  if (FFile.IsDirectory()) {
    [[maybe_unused]] const bool closed = FFile.Close();  // the refusal below is what counts
    RaiseInOutError(5);
  }
}

int64_t TBinaryFile::FileSize() {
  if (!FFile.IsOpen()) RaiseInOutError(103);
  const int64_t size = FFile.Size();
  if (size < 0) FFile.Error().Raise();
  return size;
}

void TBinaryFile::Close() {
  if (!FFile.IsOpen()) RaiseInOutError(103);
  if (!FFile.Close()) FFile.Error().Raise();
}
