#pragma once
// The last start-up step: launch the home environment when the user's
// settings ask for it and a headset is present, then watch the runtime's
// events until the runtime quits, the first application's process connects,
// or 120 passes of 500 ms have gone by.
//
// Failure convention: answers RealMain's exit status, 0 when the quit event
// or the first application's process was seen, -1 when polling ran out of
// passes or the settings or applications interface is not served (nothing is
// then called through it). Launch results are ignored.

#include "tandem_api/tandem_api.h"

inline constexpr char k_pchHomeAppKey[] = "tandem.tool.tolvavr_environments";
inline constexpr char k_pchTutorialAppKey[] = "tandem.tool.tolvavr_tutorial";
inline constexpr char k_pchMonitorAppKey[] = "tandem.component.plover";

// `pSystem` is the system interface of the open session; null answers -1.
int RunFirstApplicationLaunch(vr::IVRSystem* pSystem);
