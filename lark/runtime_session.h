#pragma once
// lark's side of the runtime session: opening it as the bootstrapper on the
// main path, binding the runtime's internal interfaces, and the shutdown
// mode, which opens a short background session only to ask a running runtime
// to quit.
//
// Failure convention: each step answers what RealMain returns when it ends
// the program (0 or -1). An interface the library does not serve counts as a
// session that cannot be used; nothing is ever called through a null pointer.
// The main path never shuts the session down: it ends with the process.

#include <string>

#include "tandem_api/tandem_api.h"

// The line logged whenever the main path gives up on the session.
inline constexpr char k_pchInitErrorExiting[] = "VR_Init error, exiting: %s\n";

// Opens the session as a bootstrapper with `startupInfo`. True and the system
// interface in `*ppSystem` when the session can be used. Otherwise logs
// "VR_Init error, exiting: ..." and answers false with the exit status in
// `*pnExitStatus`: 0 when the runtime already runs, -1 for every other
// failure (a missing system interface is logged with the text for
// VRInitError_None).
bool BOpenBootstrapperSession(const std::string& startupInfo,
                              vr::IVRSystem** ppSystem, int* pnExitStatus);

// Binds the internal interfaces through VR_GetGenericInterface and tells the
// internal input interface that start-up has bound them (argument false).
// False, after the "VR_Init error, exiting" line with the text for
// VRInitError_Init_InterfaceNotFound, when that interface is not served.
bool BBindInternalInterfaces();

// The shutdown mode: opens a background session, asks the runtime to quit,
// waits up to 100 passes of 100 ms for the quit event, shuts the session
// down and waits up to 100 sleeps of 100 ms for the server to end. 0 when it
// got that far (whether or not the event came or the server ended), -1
// without a log line when the session cannot be opened, and also when its
// system or control panel interface is not served (the session is then shut
// down again).
int RunShutdownMode();
