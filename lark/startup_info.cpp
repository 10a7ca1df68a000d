#include "lark/startup_info.h"

#include <json/writer.h>

#include "base/environment.h"
#include "base/process.h"
#include "lark/options.h"

namespace {

// The text the runtime's monitor window expects, whatever case was typed.
constexpr char kViveSetupArg[] = "-TolvaViveSetup";

}  // namespace

Json::Value BuildStartupInfo(int argc, char** argv) {
  Json::Value info;

  if (BHasOption(argc, argv, k_pchOptionKeepAlive)) info["keepalive"] = true;

  if (const char* arg = GetOptionValue(argc, argv, k_pchOptionStartupInfo)) {
    info["StartupInfoArg"] = arg;
  }

  if (BHasOption(argc, argv, k_pchOptionViveSetup)) {
    info["PloverArgs"] = kViveSetupArg;
  }

  if (BHasOption(argc, argv, k_pchOptionVkValidation)) {
    SetEnvironmentVariable(k_pchVkValidationVar, "1");
  }

  if (BHasOption(argc, argv, k_pchOptionHang)) info["hangInit"] = true;

  info["is_system_process"] = true;

  info["disable_watchdogs"] = BDisableWatchdogs(
      GetEnvironmentVariable(k_pchEnableThreadWatchdogsVar),
      BHasOption(argc, argv, k_pchOptionDisableWatchdogs),
      Plat_IsInDebugSession());

  const char* reason = GetOptionValue(argc, argv, k_pchOptionStartupReason);
  info["startup_reason"] = reason ? reason : k_pchDefaultStartupReason;

  return info;
}

std::string SerializeStartupInfo(const Json::Value& info) {
  Json::StyledWriter writer;
  return writer.write(info);
}

bool BDisableWatchdogs(const std::string& enableWatchdogsValue,
                       bool bOptionGiven, bool bDebuggerAttached) {
  if (!enableWatchdogsValue.empty()) return false;
  return bOptionGiven || bDebuggerAttached;
}
