#include "lark/first_app.h"

#include "base/log.h"
#include "base/strtools_public.h"
#include "base/threadtools.h"
#include "runtime_common/tandem_internal.h"

namespace {

constexpr int kPollingPasses = 120;
constexpr uint32_t kPollingSleepMs = 500;

struct LaunchState_t {
  bool bHeadsetSeen = false;
  bool bHomeLaunchPending = false;
};

// Interfaces are taken through the cached getters at each use, so a session
// the library renewed meanwhile is fetched afresh.
bool BLaunchHome() {
  vr::IVRApplications* pApplications = vr::VRApplications();
  if (!pApplications) return false;
  pApplications->LaunchApplication(k_pchHomeAppKey);
  return true;
}

// True when the connected process is the first application we wait for.
// False also when the applications interface is gone: `*pbFailed` tells.
bool BIsFirstApplication(uint32_t pid, bool bHeadsetSeen, bool* pbFailed) {
  vr::IVRApplications* pApplications = vr::VRApplications();
  if (!pApplications) {
    *pbFailed = true;
    return false;
  }
  char key[vr::k_unMaxApplicationKeyLength] = {};
  if (pApplications->GetApplicationKeyByProcessId(pid, key, sizeof(key)) !=
      vr::VRApplicationError_None) {
    return false;
  }
  key[sizeof(key) - 1] = '\0';  // a library that overran the size gets no further
  if (stricmp(key, k_pchTutorialAppKey) == 0) return true;
  if (stricmp(key, k_pchHomeAppKey) == 0) return true;
  return bHeadsetSeen && stricmp(key, k_pchMonitorAppKey) == 0;
}

enum class EPassResult { QueueEmpty, Finished, Failed };

// Takes events until the queue is empty or one of them ends polling.
EPassResult RunPollingPass(vr::IVRSystem* pSystem, LaunchState_t* pState) {
  vr::VREvent_t event = {};
  while (pSystem->PollNextEvent(&event, sizeof(event))) {
    switch (event.eventType) {
      case vr::VREvent_Quit:
        return EPassResult::Finished;

      case vr::VREvent_ProcessConnected: {
        bool bFailed = false;
        if (BIsFirstApplication(event.data.process.pid, pState->bHeadsetSeen,
                                &bFailed)) {
          return EPassResult::Finished;
        }
        if (bFailed) return EPassResult::Failed;
        break;
      }

      case vr::VREvent_TrackedDeviceActivated:
        if (event.trackedDeviceIndex != vr::k_unTrackedDeviceIndex_Hmd) break;
        if (pState->bHomeLaunchPending && !BLaunchHome()) {
          return EPassResult::Failed;
        }
        pState->bHeadsetSeen = true;
        pState->bHomeLaunchPending = false;
        break;

      default:
        break;
    }
  }
  return EPassResult::QueueEmpty;
}

}  // namespace

int RunFirstApplicationLaunch(vr::IVRSystem* pSystem) {
  Log("Platform handles tutorial / initial home app launch %s. Starting Event "
      "Polling...",
      k_pchHomeAppKey);
  if (!pSystem) return -1;

  LaunchState_t state;
  state.bHeadsetSeen = pSystem->GetTrackedDeviceClass(
                           vr::k_unTrackedDeviceIndex_Hmd) ==
                       vr::TrackedDeviceClass_HMD;

  vr::IVRSettings* pSettings = vr::VRSettings();
  if (!pSettings) return -1;
  state.bHomeLaunchPending =
      pSettings->GetBool("tolvavr", "enableHomeApp", nullptr);

  if (state.bHeadsetSeen && state.bHomeLaunchPending) {
    if (!BLaunchHome()) return -1;
    state.bHomeLaunchPending = false;
  }

  for (int passesLeft = kPollingPasses; passesLeft > 0; --passesLeft) {
    switch (RunPollingPass(pSystem, &state)) {
      case EPassResult::Finished:
        return 0;
      case EPassResult::Failed:
        return -1;
      case EPassResult::QueueEmpty:
        break;
    }
    CThread::Sleep(kPollingSleepMs);
  }
  return -1;
}
