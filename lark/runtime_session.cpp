#include "lark/runtime_session.h"

#include "base/log.h"
#include "base/process.h"
#include "base/threadtools.h"
#include "runtime_common/init_error_strings.h"
#include "runtime_common/tandem_internal.h"

namespace {

constexpr int kQuitWaitPasses = 100;
constexpr int kServerWaitSleeps = 100;
constexpr uint64_t kShutdownSleepMs = 100;
constexpr char kServerProcessName[] = "heron";

void LogInitError(vr::EVRInitError error) {
  Log(k_pchInitErrorExiting, GetEnglishStringForHmdError(error));
}

// Drains the queue; true as soon as a quit event is taken (events behind it
// stay queued).
bool BDrainUntilQuit(vr::IVRSystem* pSystem) {
  vr::VREvent_t event;
  while (pSystem->PollNextEvent(&event, sizeof(event))) {
    if (event.eventType == vr::VREvent_Quit) return true;
  }
  return false;
}

void WaitForQuitEvent(vr::IVRSystem* pSystem) {
  for (int pass = 0; pass < kQuitWaitPasses; ++pass) {
    if (BDrainUntilQuit(pSystem)) return;
    ThreadSleep(kShutdownSleepMs);
  }
}

void WaitForServerToEnd() {
  for (int sleeps = 0; sleeps < kServerWaitSleeps; ++sleeps) {
    if (!BProcessRunning(kServerProcessName, false)) return;
    ThreadSleep(kShutdownSleepMs);
  }
}

}  // namespace

bool BOpenBootstrapperSession(const std::string& startupInfo,
                              vr::IVRSystem** ppSystem, int* pnExitStatus) {
  vr::EVRInitError error = vr::VRInitError_None;
  vr::IVRSystem* pSystem = vr::TandemInternal_OpenSession(
      &error, vr::VRApplication_Bootstrapper, startupInfo.c_str());
  *ppSystem = pSystem;

  if (error == vr::VRInitError_Init_AlreadyRunning) {
    LogInitError(error);
    *pnExitStatus = 0;
    return false;
  }
  if (error != vr::VRInitError_None || !pSystem) {
    LogInitError(error);
    *pnExitStatus = -1;
    return false;
  }
  return true;
}

bool BBindInternalInterfaces() {
  vr_internal::InitInternalInterfaces(
      [](const char* version) {
        return vr::VR_GetGenericInterface(version, nullptr);
      },
      true);

  vr::IVRInputInternal* pInputInternal = vr_internal::VRInputInternal();
  if (!pInputInternal) {
    LogInitError(vr::VRInitError_Init_InterfaceNotFound);
    return false;
  }
  pInputInternal->Notify(false);
  return true;
}

int RunShutdownMode() {
  vr::EVRInitError error = vr::VRInitError_None;
  vr::IVRSystem* pSystem = vr::TandemInternal_OpenSession(
      &error, vr::VRApplication_Background, nullptr);
  if (error != vr::VRInitError_None) return -1;

  vr::IVRControlPanel* pControlPanel = pSystem ? vr::VRControlPanel() : nullptr;
  if (!pControlPanel) {
    // The session is open but of no use; leave it as we found it.
    vr::VR_ShutdownInternal();
    return -1;
  }
  pControlPanel->QuitRequest(false);

  WaitForQuitEvent(pSystem);
  vr::VR_ShutdownInternal();
  WaitForServerToEnd();
  return 0;
}
