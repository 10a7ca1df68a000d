#include "runtime_common/tandem_internal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim_testing.h"

namespace {

using namespace vr_internal;

// Taken while static objects are initialised, before main: the helpers must
// already be null then, whatever the order of initialisation.
const bool g_bHelpersNullBeforeMain = g_VRSettingHelper.Interface() == nullptr &&
                                      g_VRPathHelpers.Interface() == nullptr &&
                                      g_VRPropertyHelpers.Interface() == nullptr;

struct BindingRow {
  const char* version;
  std::function<const void*()> binding;
};

// The bindings in the order they must be fetched; the last six are the
// client group.
const std::vector<BindingRow>& Rows() {
  static const std::vector<BindingRow> rows = {
      {"IVRRenderModels_006", [] { return (const void*)VRRenderModels(); }},
      {"IVRRenderModelsInternal_XXX", [] { return (const void*)VRRenderModelsInternal(); }},
      {"IVRResources_001", [] { return (const void*)VRResources(); }},
      {"IVRDriverManager_001", [] { return (const void*)VRDriverManager(); }},
      {"IVRSettings_003", [] { return (const void*)VRSettingsRaw(); }},
      {"IVRSettingsInternal_001", [] { return (const void*)VRSettingsInternal(); }},
      {"IVRPaths_002", [] { return (const void*)VRPathsRaw(); }},
      {"IVRPathsInternal_XXX", [] { return (const void*)VRPathsInternal(); }},
      {"IVRProperties_001", [] { return (const void*)VRPropertiesRaw(); }},
      {"IVRPropertiesInternal_001", [] { return (const void*)VRPropertiesInternal(); }},
      {"IHeronInternal_XXX", [] { return (const void*)HeronInternal(); }},
      {"IVRDriverInputInternal_XXX", [] { return (const void*)VRDriverInputInternal(); }},
      {"IVRSystemLayerInternal_XXX", [] { return (const void*)VRSystemLayerInternal(); }},
      {"IGrebeInternal_XXX", [] { return (const void*)GrebeInternal(); }},
      {"LocalizationManager", [] { return (const void*)g_pLocalizationMgr; }},
      {"IEgretSystemInternal_XXX", [] { return (const void*)EgretSystemInternal(); }},
      {"IVRInput_010", [] { return (const void*)VRInput(); }},
      {"IVRInputInternal_002", [] { return (const void*)VRInputInternal(); }},
      {"IVRChaperone_004", [] { return (const void*)VRChaperone(); }},
      {"IVRChaperoneSetup_006", [] { return (const void*)VRChaperoneSetup(); }},
      {"IVRChaperoneInternal_XXX", [] { return (const void*)VRChaperoneInternal(); }},
      {"IVRChaperoneServerDriver_XXX", [] { return (const void*)VRChaperoneServerDriver(); }},
      {"IVRApplications_007", [] { return (const void*)VRApplications(); }},
      {"IVRSystem_023", [] { return (const void*)VRSystem(); }},
      {"IVRMailbox_002", [] { return (const void*)VRMailbox(); }},
      {"IVRDebug_001", [] { return (const void*)VRDebug(); }},
      {"IVRBlockQueue_005", [] { return (const void*)VRBlockQueue(); }},
      {"IVRControlPanel_006", [] { return (const void*)VRControlPanel(); }},
      {"IVRApplicationsInternal_XXX", [] { return (const void*)VRApplicationsInternal(); }},
      {"IVRNotificationsInternal_001", [] { return (const void*)VRNotificationsInternal(); }},
      {"IVROverlay_028", [] { return (const void*)VROverlay(); }},
      {"IVROverlayInternal_XXX", [] { return (const void*)VROverlayInternal(); }},
      {"IVRExtendedDisplay_001", [] { return (const void*)VRExtendedDisplay(); }},
      {"IVRTrackedCameraInternal_XXX", [] { return (const void*)VRTrackedCameraInternal(); }},
      {"IVRCameraPassthroughInternal_001",
       [] { return (const void*)VRCameraPassthroughInternal(); }},
      {"IVRDriverDirectInternal_XXX", [] { return (const void*)VRDriverDirectInternal(); }},
  };
  return rows;
}

constexpr size_t kClientRows = 6;

// Answers a distinct address per version (or null for those listed in
// `nulls`) and records what it was asked, with the helpers' state at the
// moment of each call.
class FakeGetter {
 public:
  struct Call {
    std::string version;
    bool settingsHelperSet, pathsHelperSet, propertiesHelperSet;
  };

  explicit FakeGetter(std::vector<std::string> nulls = {}) : m_nulls(std::move(nulls)) {}

  InterfaceGetter Getter() {
    return [this](const char* version) -> void* {
      m_calls.push_back({version, g_VRSettingHelper.Interface() != nullptr,
                         g_VRPathHelpers.Interface() != nullptr,
                         g_VRPropertyHelpers.Interface() != nullptr});
      for (const std::string& name : m_nulls) {
        if (name == version) return nullptr;
      }
      return AddressFor(version);
    };
  }

  void* AddressFor(const std::string& version) {
    for (size_t i = 0; i < Rows().size(); ++i) {
      if (version == Rows()[i].version) return &m_slots[i];
    }
    return &m_slots[Rows().size()];
  }

  std::vector<Call> m_calls;

 private:
  std::vector<std::string> m_nulls;
  char m_slots[64] = {};
};

class TandemInternalBindings : public ::testing::Test {
 protected:
  void SetUp() override { CleanupInternalInterfaces(); }
  void TearDown() override { CleanupInternalInterfaces(); }

  static void ExpectAllNull(size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) {
      EXPECT_EQ(Rows()[i].binding(), nullptr) << "row " << i + 1 << " " << Rows()[i].version;
    }
  }
};

TEST_F(TandemInternalBindings, HelpersAreNullBeforeMain) { EXPECT_TRUE(g_bHelpersNullBeforeMain); }

TEST_F(TandemInternalBindings, BindsEveryRowInOrderAndTheHelpersRightAfterTheirGroup) {
  FakeGetter fake;
  InitInternalInterfaces(fake.Getter(), true);

  ASSERT_EQ(fake.m_calls.size(), Rows().size());
  for (size_t i = 0; i < Rows().size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1) + " " + Rows()[i].version);
    const FakeGetter::Call& call = fake.m_calls[i];
    EXPECT_EQ(call.version, Rows()[i].version);
    EXPECT_EQ(Rows()[i].binding(), fake.AddressFor(Rows()[i].version));
    // Rows 1-6 come before the settings helper is set, 7-8 before the
    // paths helper, 9-10 before the properties helper.
    EXPECT_EQ(call.settingsHelperSet, i >= 6);
    EXPECT_EQ(call.pathsHelperSet, i >= 8);
    EXPECT_EQ(call.propertiesHelperSet, i >= 10);
  }

  EXPECT_EQ(VRSettings(), &g_VRSettingHelper);
  EXPECT_EQ(VRPaths(), &g_VRPathHelpers);
  EXPECT_EQ(VRProperties(), &g_VRPropertyHelpers);
  EXPECT_EQ(g_VRSettingHelper.Interface(), VRSettingsRaw());
  EXPECT_EQ(g_VRPathHelpers.Interface(), VRPathsRaw());
  EXPECT_EQ(g_VRPropertyHelpers.Interface(), VRPropertiesRaw());
}

TEST_F(TandemInternalBindings, ClientGroupOnlyWhenAskedFor) {
  FakeGetter fake;
  InitInternalInterfaces(fake.Getter(), false);
  EXPECT_EQ(fake.m_calls.size(), Rows().size() - kClientRows);
  ExpectAllNull(Rows().size() - kClientRows, Rows().size());

  CleanupInternalInterfaces();
  FakeGetter client;
  InitInternalClientInterfaces(client.Getter());
  ASSERT_EQ(client.m_calls.size(), kClientRows);
  for (size_t i = 0; i < kClientRows; ++i) {
    const BindingRow& row = Rows()[Rows().size() - kClientRows + i];
    EXPECT_EQ(client.m_calls[i].version, row.version) << "client row " << i;
    EXPECT_EQ(row.binding(), client.AddressFor(row.version)) << "client row " << i;
  }
  ExpectAllNull(0, Rows().size() - kClientRows);
}

TEST_F(TandemInternalBindings, NullAnswersAreStoredAndHideTheHelpers) {
  FakeGetter first;
  InitInternalInterfaces(first.Getter(), true);
  // A second binding overwrites every row, nulls included.
  FakeGetter fake({"IVRSettings_003", "IVRPaths_002", "IVRProperties_001", "IVRSystem_023"});
  InitInternalInterfaces(fake.Getter(), true);

  EXPECT_EQ(fake.m_calls.size(), Rows().size());
  EXPECT_EQ(VRSettingsRaw(), nullptr);
  EXPECT_EQ(VRSettings(), nullptr);
  EXPECT_EQ(VRPaths(), nullptr);
  EXPECT_EQ(VRProperties(), nullptr);
  EXPECT_EQ(g_VRSettingHelper.Interface(), nullptr);
  EXPECT_EQ(VRSystem(), nullptr);
  EXPECT_EQ(VRInputInternal(), fake.AddressFor("IVRInputInternal_002"));
}

TEST_F(TandemInternalBindings, EmptyGetterThrowsBeforeBindingAnything) {
  EXPECT_THROW(InitInternalInterfaces(InterfaceGetter(), true), std::bad_function_call);
  EXPECT_THROW(InitInternalClientInterfaces(InterfaceGetter()), std::bad_function_call);
  EXPECT_THROW(InitInternalDriverDirectInterface(InterfaceGetter()), std::bad_function_call);
  ExpectAllNull(0, Rows().size());
}

TEST_F(TandemInternalBindings, CleanupResetsBindingsAndHelpers) {
  FakeGetter fake;
  InitInternalInterfaces(fake.Getter(), true);
  CleanupInternalInterfaces();
  ExpectAllNull(0, Rows().size());
  EXPECT_EQ(g_VRSettingHelper.Interface(), nullptr);
  EXPECT_EQ(g_VRPathHelpers.Interface(), nullptr);
  EXPECT_EQ(g_VRPropertyHelpers.Interface(), nullptr);
  EXPECT_EQ(VRSettings(), nullptr);
}

// The session and the cache against the simulated runtime library, which
// records every call in a transcript.
class TandemSession : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_sim.TranscriptPath().empty()); }
  void TearDown() override { vr::VR_ShutdownInternal(); }

  void UseScenario(const std::string& json) { ASSERT_FALSE(m_sim.UseScenario(json).empty()); }
  std::string Transcript() const { return m_sim.TranscriptPath(); }
  size_t Fetches(const std::string& version) const {
    size_t count = 0;
    for (const Json::Value& call : sim::CallsNamed(m_sim.Transcript(), "VR_GetGenericInterface")) {
      if (call["version"].asString() == version) ++count;
    }
    return count;
  }

  sim::ScopedSimEnvironment m_sim;
};

TEST_F(TandemSession, OpensAndHandsOverTypeAndStartupInfo) {
  vr::EVRInitError error = vr::VRInitError_Unknown;
  vr::IVRSystem* system =
      vr::TandemInternal_OpenSession(&error, vr::VRApplication_Bootstrapper, "{ \"a\" : 1 }\n");
  EXPECT_EQ(error, vr::VRInitError_None);
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system, vr::VRSystem());
  EXPECT_EQ(vr::VRToken(), vr::VR_GetInitToken());

  const std::vector<Json::Value> opens =
      sim::CallsNamed(sim::ReadTranscript(Transcript()), "VR_InitInternal2");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0]["type"].asInt(), 7);
  EXPECT_EQ(opens[0]["startup_info"].asString(), "{ \"a\" : 1 }\n");
}

TEST_F(TandemSession, FailedOpensAnswerNoSystem) {
  struct Case {
    const char* scenario;
    vr::EVRApplicationType type;
    int expectedError;
    bool expectShutdown;
  };
  const Case cases[] = {
      {R"({"init_error": 143})", vr::VRApplication_Bootstrapper, 143, false},
      {R"({"init_error": 108})", vr::VRApplication_Bootstrapper, 108, false},
      {R"({"background_init_error": 110})", vr::VRApplication_Background, 110, false},
      {R"({"system_interface_valid": false})", vr::VRApplication_Bootstrapper, 105, true},
      {R"({"missing_interfaces": ["IVRSystem_023"]})", vr::VRApplication_Bootstrapper, 0, false},
      {R"({"init_error": "x"})", vr::VRApplication_Bootstrapper, 1, false},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE("case " + std::to_string(i) + ": " + cases[i].scenario);
    remove(Transcript().c_str());
    UseScenario(cases[i].scenario);
    vr::EVRInitError error = vr::VRInitError_None;
    testing::internal::CaptureStderr();  // the bad scenario's complaint
    EXPECT_EQ(vr::TandemInternal_OpenSession(&error, cases[i].type, nullptr), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(error, cases[i].expectedError);
    EXPECT_EQ(sim::CallsNamed(sim::ReadTranscript(Transcript()), "VR_ShutdownInternal").size(),
              cases[i].expectShutdown ? 1u : 0u);
  }
}

TEST_F(TandemSession, CachedGettersFetchOncePerToken) {
  ASSERT_NE(vr::TandemInternal_OpenSession(nullptr, vr::VRApplication_Bootstrapper, nullptr),
            nullptr);
  vr::IVRSettings* settings = vr::VRSettings();
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(vr::VRSettings(), settings);
  EXPECT_NE(vr::VRApplications(), nullptr);
  vr::VRApplications();
  EXPECT_EQ(Fetches("IVRSettings_003"), 1u);
  EXPECT_EQ(Fetches("IVRApplications_007"), 1u);
  EXPECT_EQ(Fetches("IVRSystem_023"), 1u);

  // A new open clears the cache.
  ASSERT_NE(vr::TandemInternal_OpenSession(nullptr, vr::VRApplication_Bootstrapper, nullptr),
            nullptr);
  vr::VRSettings();
  EXPECT_EQ(Fetches("IVRSettings_003"), 2u);
}

TEST_F(TandemSession, ChangingTokenRefetchesAtEveryRead) {
  UseScenario(R"({"init_token_changes": true})");
  ASSERT_NE(vr::TandemInternal_OpenSession(nullptr, vr::VRApplication_Bootstrapper, nullptr),
            nullptr);
  vr::VRSettings();
  vr::VRSettings();
  vr::VRSettings();
  EXPECT_EQ(Fetches("IVRSettings_003"), 3u);
  EXPECT_EQ(vr::TandemInternal_ModuleContext().m_pVRSystem, nullptr);
}

}  // namespace
