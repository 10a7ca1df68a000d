#pragma once
// The startup information: a JSON object built from lark's command line and
// handed to the runtime, as styled JSON text, when the session is opened.
//
// It always holds "is_system_process", "disable_watchdogs" and
// "startup_reason"; "keepalive", "StartupInfoArg", "PloverArgs" and
// "hangInit" only when their options are given. Nothing here fails: options
// that are missing their value count as absent.

#include <string>

#include <json/value.h>

// Environment variable whose non-empty value keeps thread watchdogs on.
inline constexpr char k_pchEnableThreadWatchdogsVar[] =
    "TOLVAVR_ENABLE_THREAD_WATCHDOGS";
// Set to "1" when -vkvalidation is given.
inline constexpr char k_pchVkValidationVar[] = "TOLVAVR_VKVALIDATION";
// "startup_reason" when -startupreason gives none.
inline constexpr char k_pchDefaultStartupReason[] = "tolvavr_lark";

// Builds the record from the options in the order of the option table. Side
// effect: -vkvalidation sets TOLVAVR_VKVALIDATION to "1" as it is read (a
// refused setenv is ignored, as there is nobody to tell yet).
Json::Value BuildStartupInfo(int argc, char** argv);

// The text Json::StyledWriter gives for `info`.
std::string SerializeStartupInfo(const Json::Value& info);

// The "disable_watchdogs" rule, pure: false whenever `enableWatchdogsValue`
// (the value of TOLVAVR_ENABLE_THREAD_WATCHDOGS) is non-empty, "0" included;
// otherwise true when the option is given or a debugger is attached.
bool BDisableWatchdogs(const std::string& enableWatchdogsValue,
                       bool bOptionGiven, bool bDebuggerAttached);
