// The exception root and the platform's own exception classes, with their exact texts, plus
// the few text helpers (formatting, integer conversion) that the subsystems share.
// Exceptions are thrown by value and caught by reference; any thread may use these.
#pragma once
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <typeinfo>

// Root of every failure the system reports. The message is a Windows-1252 byte string.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const { return FMessage; }
  void SetMessage(std::string m) { FMessage = std::move(m); }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// The dynamic class name of an exception ("EInOutError"), as the start-up failure box shows it.
std::string ExceptionClassName(const std::exception& e);
// The readable name of a C++ type.
std::string DemangledTypeName(const std::type_info& t);

// Input/output failure of a file operation; ErrorCode is the platform's I/O error number
// (2 = "File not found", 3 = "Path not found", 5 = "File access denied", ...).
class EInOutError : public Exception {
 public:
  EInOutError(int errorCode, std::string message) : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};
// Raises EInOutError with the platform's I/O error number and its text.
[[noreturn]] void RaiseInOutError(int inOutCode);

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
class EListError : public Exception {
 public:
  using Exception::Exception;
};
// A broken promise between units (a caller passing what it must not), raised in every build.
class EAssertionFailed : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidGraphicOperation : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// printf-style formatting into a byte string.
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// Decimal text of an integer; and the strict conversion back, raising EConvertError
// "'%s' is not a valid integer value" for anything that is not one (surrounding blanks allowed).
std::string IntToStr(int64_t v);
int32_t StrToInt(const std::string& s);
bool TryStrToInt(const std::string& s, int32_t& out);
// The value of one digit in `base` (up to 16, either case), or -1 when c is none.
int DigitValue(char c, int base);

// ASCII-only case conversions and comparison, as the platform compares identifiers.
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
bool SameText(std::string_view a, std::string_view b);
// One character of SameText, for searches that compare as it does.
bool SameTextChar(char a, char b);

// The text up to the first NUL byte: what a control keeps of a text handed to it.
std::string CutAtNul(const std::string& s);
