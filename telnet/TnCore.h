// The base of the telnet component, its exceptions, and the table of engine entry points
// through which the component reaches the engine.
//
// Threads: user-interface thread only. Ownership: the table is process-wide; it is filled once
// with the engine linked into the program (the engine's library set-up runs then, its tear-down
// at process exit). A test may empty it (or any slot) to present a missing engine, and put it
// back afterwards.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "Classes.h"
#include "SysUtils.h"
#include "TnEngine.h"

class ETnError : public Exception {
 public:
  // The message is the code in decimal, ": " and the text.
  ETnError(int32_t code, const std::string& text);
  int32_t Code;
  // Throws this object as its own class.
  [[noreturn]] virtual void Raise() const;
};

class ETnTelnet : public ETnError {
 public:
  using ETnError::ETnError;
  [[noreturn]] void Raise() const override;
};

class TTnCore : public TComponent {
 public:
  using TComponent::TComponent;
  // The exception factory: every failure of the component is raised through it.
  virtual std::unique_ptr<ETnError> CreateException(int32_t code, const std::string& text) const;
};

struct TTnEngineEntryPoints {
  TTnHandle (*Create)(TTnEventProc, void*, void*) = nullptr;
  int (*Destroy)(TTnHandle) = nullptr;
  int (*Set)(TTnHandle, int, int, intptr_t, int) = nullptr;
  intptr_t (*Get)(TTnHandle, int, int, int*) = nullptr;
  const char* (*GetLastError)(TTnHandle) = nullptr;
  int (*CheckIndex)(TTnHandle, int, int) = nullptr;
  int (*Do)(TTnHandle, int, int, intptr_t*, int*) = nullptr;
};

TTnEngineEntryPoints& TnEngineEntryPoints();
// The table as the linked engine fills it.
TTnEngineEntryPoints TnLinkedEngine();
