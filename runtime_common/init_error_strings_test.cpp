#include "runtime_common/init_error_strings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

vr::EVRInitError E(int code) { return static_cast<vr::EVRInitError>(code); }

TEST(InitErrorStrings, Lookups) {
  struct Case {
    int code;
    const char* id;
    const char* english;
  } const cases[] = {
      {0, "VRInitError_None", "No Error (0)"},
      {1, "VRInitError_Unknown", "VRInitError_Unknown"},
      {105, "VRInitError_Init_InterfaceNotFound", "Interface Not Found (105)"},
      {141, "VRInitError_Init_WrenStartupFailed", "VRInitError_Init_WrenStartupFailed"},
      {143, "VRInitError_Init_AlreadyRunning", "VRInitError_Init_AlreadyRunning"},
      {167, "VRInitError_Init_FinchPathFailure",
       "VR Dashboard startup failed, path error (167)"},
      {215, "VRInitError_Driver_WirelessHmdNotConnected",
       "A wireless HMD driver is present, but the wireless HMD has not connected yet (215)"},
      {310, "VRInitError_IPC_NamespaceUnavailable", "Shared IPC Namespace Unavailable (310)"},
      {499, "VRInitError_Compositor_FailedToInitializeEncoder",
       "Driver unable to initialize video encoder (499)"},
      {500, "VRInitError_Compositor_CreateBlurTexture", "VRInitError_Compositor_CreateBlurTexture"},
      {1115, "VRInitError_VendorSpecific_HmdFound_UnexpectedConfiguration_1",
       "HMD found, but problems with the data (1115)"},
      {1150, "VRInitError_VendorSpecific_Fjord_UnlockRequired",
       "VRInitError_VendorSpecific_Fjord_UnlockRequired"},
      {2000, "VRInitError_Tolva_TolvaInstallationNotFound",
       "Unable to find Tolva installation (2000)"},
      {210, "Unknown error (210)", "Unknown error (210)"},
      {168, "Unknown error (168)", "Unknown error (168)"},
      {501, "Unknown error (501)", "Unknown error (501)"},
      {1003, "Unknown error (1003)", "Unknown error (1003)"},
      {1100, "Unknown error (1100)", "Unknown error (1100)"},
      {1116, "Unknown error (1116)", "Unknown error (1116)"},
      {1999, "Unknown error (1999)", "Unknown error (1999)"},
      {2001, "Unknown error (2001)", "Unknown error (2001)"},
      {-1, "Unknown error (-1)", "Unknown error (-1)"},
      // The fallback prints the code signed, whatever its size.
      {INT32_MIN, "Unknown error (-2147483648)", "Unknown error (-2147483648)"},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i << " code " << cases[i].code);
    EXPECT_STREQ(GetIDForVRInitError(E(cases[i].code)), cases[i].id);
    EXPECT_STREQ(GetEnglishStringForHmdError(E(cases[i].code)), cases[i].english);
  }
}

TEST(InitErrorStrings, EnumerationAndTablesAgree) {
  EXPECT_EQ(vr::VRInitError_None, 0);
  EXPECT_EQ(vr::VRInitError_Init_InterfaceNotFound, 105);
  EXPECT_EQ(vr::VRInitError_Init_AlreadyRunning, 143);
  EXPECT_EQ(vr::VRInitError_Tolva_TolvaInstallationNotFound, 2000);

  // Every identifier is "VRInitError_" + its group, chosen by the code; every
  // English text ends in " (<code>)"; 220 identifiers and 100 texts in all.
  int identifiers = 0, texts = 0;
  for (int code = -5; code <= 2100; ++code) {
    std::string id = GetIDForVRInitError(E(code));
    if (id.rfind("Unknown error (", 0) == 0) continue;
    ++identifiers;
    SCOPED_TRACE(testing::Message() << "code " << code << " " << id);
    const char* group = code <= 1       ? ""
                        : code < 200    ? "Init_"
                        : code < 300    ? "Driver_"
                        : code < 400    ? "IPC_"
                        : code < 1000   ? "Compositor_"
                        : code < 2000   ? "VendorSpecific_"
                                        : "Tolva_";
    EXPECT_EQ(id.rfind(std::string("VRInitError_") + group, 0), 0u);
    std::string english = GetEnglishStringForHmdError(E(code));
    if (english != id) {
      ++texts;
      std::string suffix = " (" + std::to_string(code) + ")";
      ASSERT_GE(english.size(), suffix.size());
      EXPECT_EQ(english.substr(english.size() - suffix.size()), suffix);
    }
  }
  EXPECT_EQ(identifiers, 220);
  EXPECT_EQ(texts, 100);
}

TEST(InitErrorStrings, FallbackTextSharesOneBuffer) {
  const char* first = GetIDForVRInitError(E(210));
  EXPECT_STREQ(first, "Unknown error (210)");
  const char* second = GetEnglishStringForHmdError(E(-7));
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "Unknown error (-7)");
}

}  // namespace
