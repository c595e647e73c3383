#include "TnTelnet.h"

#include "Application.h"

std::unique_ptr<ETnError> TTnTelnet::CreateException(int32_t code, const std::string& text) const {
  return std::make_unique<ETnTelnet>(code, text);
}

TTnTelnet::TTnTelnet(TComponent* owner) : TTnCore(owner) {
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  if (e.Create) FHandle = e.Create(&TTnTelnet::EventProc, this, nullptr);
  if (!FHandle) RaiseError(-1, kCreateFailedText);
  try {
    WriteDefaults();
  } catch (...) {
    // A failure outside the Exception family ends construction: the engine must not outlive it.
    if (TnEngineEntryPoints().Destroy) TnEngineEntryPoints().Destroy(FHandle);
    FHandle = nullptr;
    throw;
  }
}

void TTnTelnet::WriteDefaults() {
  // Each default in its own guard: one refused write must not keep the others from the engine.
  auto guarded = [](auto write) {
    try {
      write();
    } catch (const Exception&) {
    }
  };
  guarded([this] { SetFirewallHost(""); });
  guarded([this] { SetFirewallPassword(""); });
  guarded([this] { SetFirewallPort(0); });
  guarded([this] { SetFirewallType(fwNone); });
  guarded([this] { SetFirewallUser(""); });
  guarded([this] { SetKeepAlive(false); });
  guarded([this] { SetLinger(true); });
  guarded([this] { SetLocalPort(0); });
  guarded([this] { SetRemoteHost(""); });
  guarded([this] { SetTimeout(0); });
  guarded([this] { SetTransparent(false); });
}

TTnTelnet::~TTnTelnet() {
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  if (FHandle && e.Destroy) e.Destroy(FHandle);
  FHandle = nullptr;
}

// ---- requests ----

void TTnTelnet::RaiseError(int32_t code, const std::string& text) const {
  std::string t = text;
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  if (t.empty() && FHandle && e.GetLastError) {
    const char* last = e.GetLastError(FHandle);
    if (last) t = last;
  }
  const std::unique_ptr<ETnError> error = CreateException(code, t);
  error->Raise();
  throw ETnError(*error);  // not reached: Raise throws the object as its own class
}

void TTnTelnet::Finish(int result) {
  if (FCallDepth == 0 && FHandlerError) {
    std::exception_ptr err = std::move(FHandlerError);
    FHandlerError = nullptr;
    std::rethrow_exception(err);
  }
  if (result != 0) RaiseError(result, std::string());
}

std::string TTnTelnet::GetText(int id) const {
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  if (!FHandle || !e.Get) return std::string();
  const char* p = reinterpret_cast<const char*>(e.Get(FHandle, id, 0, nullptr));
  return p ? std::string(p) : std::string();
}

intptr_t TTnTelnet::GetValue(int id) const {
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  return FHandle && e.Get ? e.Get(FHandle, id, 0, nullptr) : 0;
}

void TTnTelnet::SetValue(int id, intptr_t v) {
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  if (!FHandle || !e.Set) return;
  ++FCallDepth;
  const int r = e.Set(FHandle, id, 0, v, 0);
  --FCallDepth;
  Finish(r);
}

void TTnTelnet::SetText(int id, const std::string& v) { SetValue(id, reinterpret_cast<intptr_t>(v.c_str())); }

void TTnTelnet::Connect(const std::string& host) {
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  if (!FHandle || !e.Do) return;
  intptr_t args[2] = {reinterpret_cast<intptr_t>(host.c_str()), 0};
  int lengths[2] = {0, 0};
  ++FCallDepth;
  const int r = e.Do(FHandle, tnmConnect, 1, args, lengths);
  --FCallDepth;
  Finish(r);
}

void TTnTelnet::Disconnect() {
  const TTnEngineEntryPoints& e = TnEngineEntryPoints();
  if (!FHandle || !e.Do) return;
  intptr_t scratch[2] = {0, 0};
  int lengths[2] = {0, 0};
  ++FCallDepth;
  const int r = e.Do(FHandle, tnmDisconnect, 0, scratch, lengths);
  --FCallDepth;
  Finish(r);
}

// ---- events ----

int TTnTelnet::EventProc(void* userData, int eventId, int argc, const intptr_t* argv, const int* argl) {
  auto* self = static_cast<TTnTelnet*>(userData);
  try {
    self->DispatchEvent(eventId, argc, argv, argl);
  } catch (...) {
    // Unwinding through the engine would leave it mid-operation: keep the first failure for
    // the end of the component's call, or report it as the message loop would.
    if (self->FCallDepth > 0) {
      if (!self->FHandlerError) self->FHandlerError = std::current_exception();
    } else if (Application) {
      try {
        throw;
      } catch (const std::exception& ex) {
        Application->HandleException(ex);
      } catch (...) {
      }
    }
  }
  return 0;
}

namespace {

// The arguments of one event as the engine hands them over; absent ones read as 0 or empty.
struct TEventArgs {
  int Count;
  const intptr_t* Values;
  const int* Lengths;

  int Value(int i) const { return Count > i && Values ? static_cast<int>(Values[i]) : 0; }
  std::string Text(int i) const {
    const intptr_t v = Count > i && Values ? Values[i] : 0;
    return v ? std::string(reinterpret_cast<const char*>(v)) : std::string();
  }
  // The first argument as a block of bytes of the first length.
  std::string Bytes() const {
    if (Count < 1 || !Values || !Lengths || !Values[0] || Lengths[0] <= 0) return std::string();
    return std::string(reinterpret_cast<const char*>(Values[0]), static_cast<size_t>(Lengths[0]));
  }
};

template <class THandler, class... TArgs>
void Fire(const THandler& handler, const TArgs&... args) {
  if (handler) handler(args...);
}

}  // namespace

void TTnTelnet::DispatchEvent(int eventId, int argc, const intptr_t* argv, const int* argl) {
  const TEventArgs a{argc, argv, argl};
  switch (eventId) {
    case tnevCommand: Fire(OnCommand, this, a.Value(0)); break;
    case tnevConnected: Fire(OnConnected, this, a.Value(0), a.Text(1)); break;
    case tnevConnectionStatus: Fire(OnConnectionStatus, this, a.Text(0), a.Value(1), a.Text(2)); break;
    case tnevDataIn: Fire(OnDataIn, this, a.Bytes()); break;
    case tnevDisconnected: Fire(OnDisconnected, this, a.Value(0), a.Text(1)); break;
    case tnevDo: Fire(OnDo, this, a.Value(0)); break;
    case tnevDont: Fire(OnDont, this, a.Value(0)); break;
    case tnevError: Fire(OnError, this, a.Value(0), a.Text(1)); break;
    case tnevReadyToSend: Fire(OnReadyToSend, this); break;
    case tnevSubOption: Fire(OnSubOption, this, a.Bytes()); break;
    case tnevWill: Fire(OnWill, this, a.Value(0)); break;
    case tnevWont: Fire(OnWont, this, a.Value(0)); break;
    default: break;
  }
}

// ---- the form writer's view ----

std::vector<std::pair<std::string, std::string>> TTnTelnet::StoredProperties() const {
  std::vector<std::pair<std::string, std::string>> out;
  auto text = [&](const char* name, const std::string& v) {
    if (!v.empty()) out.emplace_back(name, v);
  };
  auto number = [&](const char* name, int64_t v, int64_t streamDefault) {
    if (v != streamDefault) out.emplace_back(name, IntToStr(v));
  };
  auto flag = [&](const char* name, bool v, bool streamDefault) {
    if (v != streamDefault) out.emplace_back(name, v ? "True" : "False");
  };
  static const char* const TypeNames[] = {"fwNone", "fwTunnel", "fwSOCKS4", "fwSOCKS5"};
  text("FirewallHost", FirewallHost());
  text("FirewallPassword", FirewallPassword());
  number("FirewallPort", FirewallPort(), 0);
  const int type = FirewallType();
  if (type != fwNone) out.emplace_back("FirewallType", type >= 0 && type <= 3 ? TypeNames[type] : IntToStr(type));
  text("FirewallUser", FirewallUser());
  flag("KeepAlive", KeepAlive(), false);
  flag("Linger", Linger(), true);
  number("LocalPort", LocalPort(), 0);
  text("RemoteHost", RemoteHost());
  number("Timeout", Timeout(), 0);
  flag("Transparent", Transparent(), false);
  return out;
}
