#pragma once
// Our declarations of the runtime client library libtandem_api.so, as this
// program uses it: the exported functions, the values it passes and reads,
// the 60-byte event record and the interfaces with the operations called.
// Nothing else of the library is declared here.
//
// Failure convention (the library's): the exported functions report through
// an EVRInitError out-parameter and answer null for an interface that is not
// served; interface operations answer their own error codes. The program
// owns none of the interfaces it is handed, so they cannot be deleted
// through these declarations.

#include <cstddef>
#include <cstdint>

#include "tandem_api/vr_init_error.h"

namespace vr {

// How a process opens its session with the runtime.
enum EVRApplicationType : int32_t {
  VRApplication_Background = 3,    // a short session that starts nothing
  VRApplication_Bootstrapper = 7,  // the start-up program bringing the runtime up
};

enum EVREventType : uint32_t {
  VREvent_TrackedDeviceActivated = 100,
  VREvent_Quit = 700,
  VREvent_ProcessConnected = 1306,
};

typedef uint32_t TrackedDeviceIndex_t;
// The headset always has index 0.
constexpr TrackedDeviceIndex_t k_unTrackedDeviceIndex_Hmd = 0;

enum ETrackedDeviceClass : int32_t {
  TrackedDeviceClass_Invalid = 0,
  TrackedDeviceClass_HMD = 1,
};

enum EVRApplicationError : int32_t {
  VRApplicationError_None = 0,
};

enum EVRSettingsError : int32_t {
  VRSettingsError_None = 0,
};

// Payload of VREvent_ProcessConnected.
struct VREvent_Process_t {
  uint32_t pid;
};

union VREvent_Data_t {
  uint8_t raw[48];
  VREvent_Process_t process;
};

// One queued runtime event, 60 bytes in the machine's byte order.
struct VREvent_t {
  uint32_t eventType;           // an EVREventType value, or one not named here
  TrackedDeviceIndex_t trackedDeviceIndex;
  uint32_t reserved;            // written by the library, never read
  VREvent_Data_t data;
};

static_assert(sizeof(VREvent_t) == 60, "the library fills exactly 60 bytes");
static_assert(offsetof(VREvent_t, eventType) == 0, "event type at 0");
static_assert(offsetof(VREvent_t, trackedDeviceIndex) == 4, "device at 4");
static_assert(offsetof(VREvent_t, reserved) == 8, "unread word at 8");
static_assert(offsetof(VREvent_t, data) == 12, "event data at 12");
static_assert(offsetof(VREvent_t, data.process.pid) == 12, "pid first in data");

// Interface version strings, as served by VR_GetGenericInterface.
constexpr const char IVRSystem_Version[] = "IVRSystem_023";
constexpr const char IVRSettings_Version[] = "IVRSettings_003";
constexpr const char IVRApplications_Version[] = "IVRApplications_007";
constexpr const char IVRControlPanel_Version[] = "IVRControlPanel_006";
constexpr const char IVRInputInternal_Version[] = "IVRInputInternal_002";

// Size of the key buffer the program hands to the key-by-process query.
constexpr uint32_t k_unMaxApplicationKeyLength = 128;

class IVRSystem {
 public:
  // Class of the device at `index`; TrackedDeviceClass_Invalid when none.
  virtual ETrackedDeviceClass GetTrackedDeviceClass(TrackedDeviceIndex_t index) = 0;
  // Fills `event` with the next queued event and answers true; false when
  // the queue is empty (the record is then left alone). `eventSize` must be
  // sizeof(VREvent_t).
  virtual bool PollNextEvent(VREvent_t* event, uint32_t eventSize) = 0;

 protected:
  ~IVRSystem() = default;
};

class IVRSettings {
 public:
  // The boolean setting `key` of `section`; false when it cannot be read,
  // with the reason in `error` when that is not null.
  virtual bool GetBool(const char* section, const char* key,
                       EVRSettingsError* error) = 0;

 protected:
  ~IVRSettings() = default;
};

class IVRApplications {
 public:
  // Starts the application with key `appKey`; an error code when it cannot.
  virtual EVRApplicationError LaunchApplication(const char* appKey) = 0;
  // Writes the key of the application running as process `pid` into
  // `keyBuffer` (zero-terminated, at most `keyBufferSize` bytes) and answers
  // VRApplicationError_None; another code when there is no such key or it
  // does not fit.
  virtual EVRApplicationError GetApplicationKeyByProcessId(
      uint32_t pid, char* keyBuffer, uint32_t keyBufferSize) = 0;

 protected:
  ~IVRApplications() = default;
};

class IVRControlPanel {
 public:
  // Asks the running runtime to quit: it posts VREvent_Quit and its server
  // ends. The program passes false.
  virtual void QuitRequest(bool bForce) = 0;

 protected:
  ~IVRControlPanel() = default;
};

class IVRInputInternal {
 public:
  // An opaque notification to the runtime's input system; the start-up
  // program passes false once its interfaces are bound and reads nothing.
  virtual void Notify(bool bValue) = 0;

 protected:
  ~IVRInputInternal() = default;
};

// The exported functions, with plain C symbol names.
extern "C" {

// Opens this process's session with the runtime. Writes VRInitError_None to
// `error` on success (VRInitError_Init_AlreadyRunning when the runtime
// already runs for a bootstrapper) and answers the session's init token.
// `startupInfo` may be null.
uint32_t VR_InitInternal2(EVRInitError* error, EVRApplicationType applicationType,
                          const char* startupInfo);

// True when the library serves interface `version`.
bool VR_IsInterfaceVersionValid(const char* version);

// The library's current init token; a change means cached interface
// pointers are stale.
uint32_t VR_GetInitToken();

// The interface for `version`, or null when it is not served (the reason in
// `error` when that is not null).
void* VR_GetGenericInterface(const char* version, EVRInitError* error);

// Ends this process's session.
void VR_ShutdownInternal();

// The control panel interface, or null when it is not served.
IVRControlPanel* VRControlPanel();

}  // extern "C"

}  // namespace vr
