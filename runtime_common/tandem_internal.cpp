#include "runtime_common/tandem_internal.h"

#include <cstdlib>

#include "base/log.h"

namespace vr {

namespace {

uint32_t g_unVRToken = 0;
TandemModuleContext_t g_ModuleContext;

// The cached getter shared by the three public interfaces.
template <class TInterface>
TInterface* CachedInterface(TInterface* TandemModuleContext_t::*member,
                            const char* version) {
  TandemInternal_CheckCache();
  TInterface*& cached = g_ModuleContext.*member;
  if (cached == nullptr) {
    EVRInitError error = VRInitError_None;  // not needed: null says enough
    cached = static_cast<TInterface*>(VR_GetGenericInterface(version, &error));
  }
  return cached;
}

}  // namespace

uint32_t& VRToken() { return g_unVRToken; }

void TandemModuleContext_t::Clear() { *this = TandemModuleContext_t(); }

TandemModuleContext_t& TandemInternal_ModuleContext() { return g_ModuleContext; }

void TandemInternal_CheckCache() {
  if (VRToken() != VR_GetInitToken()) {
    g_ModuleContext.Clear();
    VRToken() = VR_GetInitToken();
  }
}

IVRSystem* VRSystem() {
  return CachedInterface(&TandemModuleContext_t::m_pVRSystem, IVRSystem_Version);
}

IVRSettings* VRSettings() {
  return CachedInterface(&TandemModuleContext_t::m_pVRSettings, IVRSettings_Version);
}

IVRApplications* VRApplications() {
  return CachedInterface(&TandemModuleContext_t::m_pVRApplications,
                         IVRApplications_Version);
}

IVRSystem* TandemInternal_OpenSession(EVRInitError* error,
                                      EVRApplicationType applicationType,
                                      const char* startupInfo) {
  EVRInitError localError = VRInitError_None;
  EVRInitError& result = error ? *error : localError;
  result = VRInitError_None;

  VRToken() = VR_InitInternal2(&result, applicationType, startupInfo);
  g_ModuleContext.Clear();

  if (result != VRInitError_None) return nullptr;
  if (!VR_IsInterfaceVersionValid(IVRSystem_Version)) {
    VR_ShutdownInternal();
    result = VRInitError_Init_InterfaceNotFound;
    return nullptr;
  }
  return VRSystem();
}

}  // namespace vr

namespace vr_internal {

CVRSettingHelper g_VRSettingHelper;
CVRPathHelper g_VRPathHelpers;
CVRPropertyHelper g_VRPropertyHelpers;

vr::IVRRenderModels* g_pRenderModels = nullptr;
vr::IVRRenderModelsInternal* g_pRenderModelsInternal = nullptr;
vr::IVRResources* g_pVRResources = nullptr;
vr::IVRDriverManager* g_pVRDriverManager = nullptr;
vr::IVRSettings* g_pVRSettings = nullptr;
vr::IVRSettingsInternal* g_pVRSettingsInternal = nullptr;
vr::IVRPaths* g_pVRPaths = nullptr;
vr::IVRPathsInternal* g_pVRPathsInternal = nullptr;
vr::IVRProperties* g_pVRProperties = nullptr;
vr::IVRPropertiesInternal* g_pVRPropertiesInternal = nullptr;
vr::IHeronInternal* g_pHeronInternal = nullptr;
vr::IVRDriverInputInternal* g_pVRDriverInputInternal = nullptr;
vr::IVRSystemLayerInternal* g_pVRSystemLayerInternal = nullptr;
vr::IGrebeInternal* g_pGrebeInternal = nullptr;
vr::ILocalizationManager* g_pLocalizationMgr = nullptr;
vr::IEgretSystemInternal* g_pCompositorSystemInternal = nullptr;
vr::IVRInput* g_pInput = nullptr;
vr::IVRInputInternal* g_pInputInternal = nullptr;
vr::IVRChaperone* g_pVRChaperone = nullptr;
vr::IVRChaperoneSetup* g_pVRChaperoneSetup = nullptr;
vr::IVRChaperoneInternal* g_pVRChaperoneInternal = nullptr;
vr::IVRChaperoneServerDriver* g_pVRChaperoneServerDriver = nullptr;
vr::IVRApplications* g_pVRApplications = nullptr;
vr::IVRSystem* g_pVRSystem = nullptr;
vr::IVRMailbox* g_pVRMailbox = nullptr;
vr::IVRDebug* g_pVRDebug = nullptr;
vr::IVRBlockQueue* g_pVRBlockQueue = nullptr;
vr::IVRControlPanel* g_pVRControlPanel = nullptr;
vr::IVRApplicationsInternal* g_pVRApplicationsInternal = nullptr;
vr::IVRNotificationsInternal* g_pVRNotificationsInternal = nullptr;
vr::IVROverlay* g_pVROverlay = nullptr;
vr::IVROverlayInternal* g_pVROverlayInternal = nullptr;
vr::IVRExtendedDisplay* g_pVRExtendedDisplay = nullptr;
vr::IVRTrackedCameraInternal* g_pVRTrackedCameraInternal = nullptr;
vr::IVRCameraPassthroughInternal* g_pVRCameraPassthroughInternal = nullptr;
vr::IVRDriverDirectInternal* g_pVRDriverDirectInternal = nullptr;

namespace {

// Stores what the getter answers for `version` in `binding`. Calling an
// empty std::function throws std::bad_function_call, as wanted.
template <class TInterface>
void Bind(const InterfaceGetter& getter, const char* version, TInterface*& binding) {
  binding = static_cast<TInterface*>(getter(version));
}

void RegisterCleanupAtExit() {
  // Once is enough however often the interfaces are bound again.
  static bool s_bRegistered = false;
  if (s_bRegistered) return;
  if (atexit(CleanupInternalInterfaces) != 0) {
    Log("Could not register the interface cleanup to run at exit\n");
    return;
  }
  s_bRegistered = true;
}

}  // namespace

void InitInternalInterfaces(InterfaceGetter getter, bool bindClientInterfaces) {
  Bind(getter, "IVRRenderModels_006", g_pRenderModels);
  Bind(getter, "IVRRenderModelsInternal_XXX", g_pRenderModelsInternal);
  Bind(getter, "IVRResources_001", g_pVRResources);
  Bind(getter, "IVRDriverManager_001", g_pVRDriverManager);
  Bind(getter, "IVRSettings_003", g_pVRSettings);
  Bind(getter, "IVRSettingsInternal_001", g_pVRSettingsInternal);
  g_VRSettingHelper.SetInterface(g_pVRSettings);
  Bind(getter, "IVRPaths_002", g_pVRPaths);
  Bind(getter, "IVRPathsInternal_XXX", g_pVRPathsInternal);
  g_VRPathHelpers.SetInterface(g_pVRPaths);
  Bind(getter, "IVRProperties_001", g_pVRProperties);
  Bind(getter, "IVRPropertiesInternal_001", g_pVRPropertiesInternal);
  g_VRPropertyHelpers.SetInterface(g_pVRProperties);
  Bind(getter, "IHeronInternal_XXX", g_pHeronInternal);
  Bind(getter, "IVRDriverInputInternal_XXX", g_pVRDriverInputInternal);
  Bind(getter, "IVRSystemLayerInternal_XXX", g_pVRSystemLayerInternal);
  Bind(getter, "IGrebeInternal_XXX", g_pGrebeInternal);
  Bind(getter, "LocalizationManager", g_pLocalizationMgr);
  Bind(getter, "IEgretSystemInternal_XXX", g_pCompositorSystemInternal);
  Bind(getter, "IVRInput_010", g_pInput);
  Bind(getter, "IVRInputInternal_002", g_pInputInternal);
  Bind(getter, "IVRChaperone_004", g_pVRChaperone);
  Bind(getter, "IVRChaperoneSetup_006", g_pVRChaperoneSetup);
  Bind(getter, "IVRChaperoneInternal_XXX", g_pVRChaperoneInternal);
  Bind(getter, "IVRChaperoneServerDriver_XXX", g_pVRChaperoneServerDriver);
  Bind(getter, "IVRApplications_007", g_pVRApplications);
  Bind(getter, "IVRSystem_023", g_pVRSystem);
  Bind(getter, "IVRMailbox_002", g_pVRMailbox);
  Bind(getter, "IVRDebug_001", g_pVRDebug);
  Bind(getter, "IVRBlockQueue_005", g_pVRBlockQueue);
  Bind(getter, "IVRControlPanel_006", g_pVRControlPanel);
  Bind(getter, "IVRApplicationsInternal_XXX", g_pVRApplicationsInternal);
  Bind(getter, "IVRNotificationsInternal_001", g_pVRNotificationsInternal);
  if (bindClientInterfaces) InitInternalClientInterfaces(getter);
  RegisterCleanupAtExit();
}

void InitInternalClientInterfaces(InterfaceGetter getter) {
  Bind(getter, "IVROverlay_028", g_pVROverlay);
  Bind(getter, "IVROverlayInternal_XXX", g_pVROverlayInternal);
  Bind(getter, "IVRExtendedDisplay_001", g_pVRExtendedDisplay);
  Bind(getter, "IVRTrackedCameraInternal_XXX", g_pVRTrackedCameraInternal);
  Bind(getter, "IVRCameraPassthroughInternal_001", g_pVRCameraPassthroughInternal);
  InitInternalDriverDirectInterface(getter);
}

void InitInternalDriverDirectInterface(InterfaceGetter getter) {
  Bind(getter, "IVRDriverDirectInternal_XXX", g_pVRDriverDirectInternal);
}

void CleanupInternalInterfaces() {
  g_pRenderModels = nullptr;
  g_pRenderModelsInternal = nullptr;
  g_pVRResources = nullptr;
  g_pVRDriverManager = nullptr;
  g_pVRSettings = nullptr;
  g_pVRSettingsInternal = nullptr;
  g_pVRPaths = nullptr;
  g_pVRPathsInternal = nullptr;
  g_pVRProperties = nullptr;
  g_pVRPropertiesInternal = nullptr;
  g_pHeronInternal = nullptr;
  g_pVRDriverInputInternal = nullptr;
  g_pVRSystemLayerInternal = nullptr;
  g_pGrebeInternal = nullptr;
  g_pLocalizationMgr = nullptr;
  g_pCompositorSystemInternal = nullptr;
  g_pInput = nullptr;
  g_pInputInternal = nullptr;
  g_pVRChaperone = nullptr;
  g_pVRChaperoneSetup = nullptr;
  g_pVRChaperoneInternal = nullptr;
  g_pVRChaperoneServerDriver = nullptr;
  g_pVRApplications = nullptr;
  g_pVRSystem = nullptr;
  g_pVRMailbox = nullptr;
  g_pVRDebug = nullptr;
  g_pVRBlockQueue = nullptr;
  g_pVRControlPanel = nullptr;
  g_pVRApplicationsInternal = nullptr;
  g_pVRNotificationsInternal = nullptr;
  g_pVROverlay = nullptr;
  g_pVROverlayInternal = nullptr;
  g_pVRExtendedDisplay = nullptr;
  g_pVRTrackedCameraInternal = nullptr;
  g_pVRCameraPassthroughInternal = nullptr;
  g_pVRDriverDirectInternal = nullptr;
  g_VRSettingHelper.SetInterface(nullptr);
  g_VRPathHelpers.SetInterface(nullptr);
  g_VRPropertyHelpers.SetInterface(nullptr);
}

}  // namespace vr_internal
