// Byte streams: the abstract TStream, TFileStream over a host file and TMemoryStream over an
// owned buffer; plus TBinaryFile, a file of 1-byte records opened for reading that reports
// failures as EInOutError with the platform's texts ("File not found").
// Threads: any, one stream per thread. A stream owns its file handle or buffer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"
#include "HostFile.h"

class TStream : public TObject {
 public:
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t p) { Seek(p, soBeginning); }
  int64_t Size();
  // Reads exactly count bytes or raises EReadError "Stream read error".
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
};

enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmCreate = 0xFF00,
  fmShareDenyWrite = 0x0020,
  fmShareDenyNone = 0x0040
};

class TFileStream : public TStream {
 public:
  // Raises EFOpenError "Cannot open file \"%s\". %s" (or "Cannot create file ...").
  TFileStream(const std::string& fileName, uint16_t mode);
  ~TFileStream() override;
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
  THostFile FFile;
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : FData(std::move(bytes)) {}
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  const std::string& Data() const { return FData; }
  void Clear() {
    FData.clear();
    FPos = 0;
  }

 private:
  std::string FData;
  size_t FPos = 0;
};

// A file of 1-byte records opened for reading by Reset. Open, size and close each raise
// EInOutError at once when they fail.
class TBinaryFile {
 public:
  explicit TBinaryFile(std::string fileName) : FFileName(std::move(fileName)) {}
  ~TBinaryFile();
  void Reset();
  int64_t FileSize();
  void Close();

 private:
  std::string FFileName;
  THostFile FFile;
};
