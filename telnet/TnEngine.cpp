// The C entry points: each finds its instance, marks the call (so that a destroy requested from
// an event inside it waits for the call to end) and forwards.
#include "TnEngine.h"

#include <new>

#include "TnInstance.h"

namespace {

void* ModuleInstance = nullptr;

TTnInstance* Inst(TTnHandle h) { return static_cast<TTnInstance*>(h); }

}  // namespace

extern "C" {

TTnHandle Telnet_Create(TTnEventProc callback, void* userData, void*) {
  auto* inst = new (std::nothrow) TTnInstance(callback, userData);
  if (inst && !inst->Valid()) {
    delete inst;
    inst = nullptr;
  }
  return inst;
}

int Telnet_Destroy(TTnHandle h) {
  if (h) Inst(h)->Destroy();
  return 0;
}

intptr_t Telnet_Get(TTnHandle h, int propertyId, int, int*) {
  if (!h) return 0;
  TTnCallScope scope(Inst(h));
  return Inst(h)->Get(propertyId);
}

int Telnet_Set(TTnHandle h, int propertyId, int, intptr_t value, int length) {
  if (!h) return -1;
  TTnCallScope scope(Inst(h));
  return Inst(h)->Set(propertyId, value, length);
}

int Telnet_Do(TTnHandle h, int methodId, int argc, intptr_t* argv, int* argl) {
  if (!h) return -1;
  TTnCallScope scope(Inst(h));
  return Inst(h)->Do(methodId, argc, argv, argl);
}

const char* Telnet_GetLastError(TTnHandle h) { return h ? Inst(h)->LastErrorText() : ""; }

int Telnet_GetLastErrorCode(TTnHandle h) { return h ? Inst(h)->LastErrorCode() : 0; }

int Telnet_CheckIndex(TTnHandle, int, int) { return 0; }

int Telnet_StaticInit(void* moduleInstance) {
  ModuleInstance = moduleInstance;
  return 0;
}

int Telnet_StaticDestroy() {
  ModuleInstance = nullptr;
  return 0;
}

}  // extern "C"
