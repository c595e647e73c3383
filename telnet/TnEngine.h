// The telnet engine's C entry points: the only way in for the component. Each instance owns one
// TCP connection, reached directly or through a firewall, and reports everything through the
// event callback given at creation, as numbered events with arrays of argument values.
//
// Threads: an instance, its hidden window and all its events belong to the thread that created
// it, which must be the thread that runs the platform message queue. Calls that wait (Connect,
// and with a nonzero Timeout sending and a blocking Disconnect) dispatch that thread's messages,
// so events and any other window's handlers run inside them.
// Ownership: the caller owns the handle from Telnet_Create until Telnet_Destroy. Texts returned
// by Telnet_Get, Telnet_GetLastError and ConfigSetting belong to the instance and stay valid
// until the next call on it. Byte blocks handed to the callback are valid during the call only.
// Telnet_StaticInit/Telnet_StaticDestroy bracket the library's life in the process.
#pragma once
#include <cstdint>

// Event callback: user data, event id, argument count, argument values, argument lengths.
// Returns 0.
typedef int (*TTnEventProc)(void* userData, int eventId, int argc, const intptr_t* argv, const int* argl);
typedef void* TTnHandle;

extern "C" {
TTnHandle Telnet_Create(TTnEventProc callback, void* userData, void* reserved);
int Telnet_Destroy(TTnHandle h);
// Integer, boolean as 0/1, or a pointer to a NUL-terminated text owned by the instance.
intptr_t Telnet_Get(TTnHandle h, int propertyId, int index, int* length);
// value: an integer, or a pointer to a text (NUL-terminated) or to bytes (with their length).
int Telnet_Set(TTnHandle h, int propertyId, int index, intptr_t value, int length);
// ConfigSetting takes its text in argv[0] and puts the result text in argv[1]: its arrays
// must have room for two entries whatever argc says.
int Telnet_Do(TTnHandle h, int methodId, int argc, intptr_t* argv, int* argl);
const char* Telnet_GetLastError(TTnHandle h);
int Telnet_GetLastErrorCode(TTnHandle h);
int Telnet_CheckIndex(TTnHandle h, int propertyId, int index);
int Telnet_StaticInit(void* moduleInstance);
int Telnet_StaticDestroy();
}

enum TTnEventId : int {
  tnevCommand = 1,
  tnevConnected = 2,
  tnevConnectionStatus = 3,
  tnevDataIn = 4,
  tnevDisconnected = 5,
  tnevDo = 6,
  tnevDont = 7,
  tnevError = 8,
  tnevReadyToSend = 9,
  tnevSubOption = 10,
  tnevWill = 11,
  tnevWont = 12,
};

enum TTnPropertyId : int {
  tnpReceiveEnabled = 1,
  tnpLastSendCount = 2,
  tnpCommandToSend = 3,
  tnpConnected = 4,
  tnpOutgoingData = 5,
  tnpSendDont = 6,
  tnpSendDo = 7,
  tnpSendSubOption = 8,
  tnpFirewallHost = 9,
  tnpFirewallPassword = 10,
  tnpFirewallPort = 11,
  tnpFirewallType = 12,
  tnpFirewallUser = 13,
  tnpKeepAlive = 14,
  tnpLinger = 15,
  tnpLocalHost = 16,
  tnpLocalPort = 17,
  tnpRemoteHost = 18,
  tnpRemotePort = 19,
  tnpTimeout = 20,
  tnpTransparent = 21,
  tnpOutOfBandData = 22,
  tnpSendWill = 23,
  tnpSendWont = 24,
};

enum TTnMethodId : int {
  tnmConfigSetting = 1,
  tnmConnect = 2,
  tnmDisconnect = 3,
  tnmProcessEvents = 4,
  tnmSend = 5,
};

// The engine's own result codes, beside the socket errors it passes on.
constexpr int kTnOutOfMemory = 200;  // a send buffer could not be had
constexpr int kTnStopped = 301;      // a wait ended early: timed out or interrupted
