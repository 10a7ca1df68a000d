// Process entry of lark.

#include "base/environment.h"
#include "lark/real_main.h"
#include "tandem_api/tolva_api.h"

namespace {

constexpr char kAppKeyVariable[] = "TOLVAVR_APPKEY";
constexpr char kAppKey[] = "tandem.component.lark";

// The runtime's libraries tell their clients apart by this key.
void SetApplicationKey() { SetEnvironmentVariable(kAppKeyVariable, kAppKey); }

// Asked once so the platform client library is loaded and set up early; the
// answer does not change what lark does.
void QueryPlatformClient() { TolvaAPI_IsTolvaRunning(); }

}  // namespace

int main(int argc, char** argv) {
  SetApplicationKey();
  QueryPlatformClient();
  return RealMain(argc, argv);
}
