#pragma once
// Interim: the runtime's initialisation error codes this program names. The
// full list of codes replaces this file; until then only the codes the
// session code needs are here.

#include <cstdint>

namespace vr {

enum EVRInitError : int32_t {
  VRInitError_None = 0,
  VRInitError_Unknown = 1,
  VRInitError_Init_InterfaceNotFound = 105,
  VRInitError_Init_AlreadyRunning = 143,
};

}  // namespace vr
