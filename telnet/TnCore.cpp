#include "TnCore.h"

ETnError::ETnError(int32_t code, const std::string& text) : Exception(IntToStr(code) + ": " + text), Code(code) {}

void ETnError::Raise() const { throw *this; }

void ETnTelnet::Raise() const { throw *this; }

std::unique_ptr<ETnError> TTnCore::CreateException(int32_t code, const std::string& text) const {
  return std::make_unique<ETnError>(code, text);
}

TTnEngineEntryPoints TnLinkedEngine() {
  TTnEngineEntryPoints t;
  t.Create = Telnet_Create;
  t.Destroy = Telnet_Destroy;
  t.Set = Telnet_Set;
  t.Get = Telnet_Get;
  t.GetLastError = Telnet_GetLastError;
  t.CheckIndex = Telnet_CheckIndex;
  t.Do = Telnet_Do;
  return t;
}

namespace {

// The engine's library life in the process: set up on first use, torn down at exit.
struct TEngineLibrary {
  TTnEngineEntryPoints Table;
  TEngineLibrary() {
    Telnet_StaticInit(nullptr);
    Table = TnLinkedEngine();
  }
  ~TEngineLibrary() {
    Table = TTnEngineEntryPoints();
    Telnet_StaticDestroy();
  }
};

}  // namespace

TTnEngineEntryPoints& TnEngineEntryPoints() {
  static TEngineLibrary library;
  return library.Table;
}
