#pragma once
// The runtime session as the program holds it: the init token, the cache of
// the public interfaces with its cached getters, the opening of a session,
// and the process-wide bindings of the runtime's internal interfaces with
// their accessors in namespace vr_internal.
//
// Failure convention: nothing here reports an error of its own. A session
// that cannot be opened answers a null system interface with the reason in
// the error out-parameter; an interface the library does not serve is stored
// and answered as null. Callers test for null before calling through a
// pointer. Everything here is meant for the main thread and takes no locks.

#include <cstdint>
#include <functional>

#include "tandem_api/tandem_api.h"

namespace vr {

// Internal interfaces bound for the rest of the process; only a few of them
// are ever called, the others are held as opaque pointers.
class IVRRenderModels;
class IVRRenderModelsInternal;
class IVRResources;
class IVRDriverManager;
class IVRSettingsInternal;
class IVRPaths;
class IVRPathsInternal;
class IVRProperties;
class IVRPropertiesInternal;
class IHeronInternal;
class IVRDriverInputInternal;
class IVRSystemLayerInternal;
class IGrebeInternal;
class ILocalizationManager;
class IEgretSystemInternal;
class IVRInput;
class IVRChaperone;
class IVRChaperoneSetup;
class IVRChaperoneInternal;
class IVRChaperoneServerDriver;
class IVRMailbox;
class IVRDebug;
class IVRBlockQueue;
class IVRApplicationsInternal;
class IVRNotificationsInternal;
class IVROverlay;
class IVROverlayInternal;
class IVRExtendedDisplay;
class IVRTrackedCameraInternal;
class IVRCameraPassthroughInternal;
class IVRDriverDirectInternal;

// The token of the last VR_InitInternal2 call (0 before the first).
uint32_t& VRToken();

// Cached pointers of the public interfaces this program uses, all null at
// start.
struct TandemModuleContext_t {
  IVRSystem* m_pVRSystem = nullptr;
  IVRSettings* m_pVRSettings = nullptr;
  IVRApplications* m_pVRApplications = nullptr;

  void Clear();
};

TandemModuleContext_t& TandemInternal_ModuleContext();

// Clears the cache when the library's init token is no longer VRToken(), and
// takes the library's token.
void TandemInternal_CheckCache();

// Cached getters: after the cache check, the cached interface, fetched from
// the library first when it is null. Null when the library does not serve it.
IVRSystem* VRSystem();
IVRSettings* VRSettings();
IVRApplications* VRApplications();

// Opens this process's session as `applicationType`, handing over
// `startupInfo` (may be null), and clears the cache. Answers the system
// interface; null when the open failed, when the library does not serve
// IVRSystem_023 (then the session is shut down again and `error` is
// VRInitError_Init_InterfaceNotFound) or when it serves a null one. `error`
// receives the library's result; it may be null when the caller does not
// care.
IVRSystem* TandemInternal_OpenSession(EVRInitError* error,
                                      EVRApplicationType applicationType,
                                      const char* startupInfo);

}  // namespace vr

namespace vr_internal {

using InterfaceGetter = std::function<void*(const char*)>;

// Holds one interface pointer for helpers layered over that interface.
// Constant-initialised, so it is null before any other code runs.
template <class TInterface>
class CInterfaceHelper {
 public:
  constexpr CInterfaceHelper() = default;
  TInterface* Interface() const { return m_pInterface; }
  void SetInterface(TInterface* pInterface) { m_pInterface = pInterface; }

 private:
  TInterface* m_pInterface = nullptr;
};

using CVRSettingHelper = CInterfaceHelper<vr::IVRSettings>;
using CVRPathHelper = CInterfaceHelper<vr::IVRPaths>;
using CVRPropertyHelper = CInterfaceHelper<vr::IVRProperties>;

extern CVRSettingHelper g_VRSettingHelper;
extern CVRPathHelper g_VRPathHelpers;
extern CVRPropertyHelper g_VRPropertyHelpers;

// Binds the internal interfaces, in this order, each to what `getter`
// answers for its version string (null included); the settings, paths and
// properties helpers take their bindings along. With `bindClientInterfaces`
// the client group follows (InitInternalClientInterfaces). Registers
// CleanupInternalInterfaces to run at exit (once per process). An empty
// getter throws std::bad_function_call before anything is bound.
void InitInternalInterfaces(InterfaceGetter getter, bool bindClientInterfaces);
// The overlay, display and camera group, then InitInternalDriverDirectInterface.
void InitInternalClientInterfaces(InterfaceGetter getter);
void InitInternalDriverDirectInterface(InterfaceGetter getter);
// Sets every binding and every helper's pointer to null.
void CleanupInternalInterfaces();

// The bindings, null until bound.
extern vr::IVRRenderModels* g_pRenderModels;
extern vr::IVRRenderModelsInternal* g_pRenderModelsInternal;
extern vr::IVRResources* g_pVRResources;
extern vr::IVRDriverManager* g_pVRDriverManager;
extern vr::IVRSettings* g_pVRSettings;
extern vr::IVRSettingsInternal* g_pVRSettingsInternal;
extern vr::IVRPaths* g_pVRPaths;
extern vr::IVRPathsInternal* g_pVRPathsInternal;
extern vr::IVRProperties* g_pVRProperties;
extern vr::IVRPropertiesInternal* g_pVRPropertiesInternal;
extern vr::IHeronInternal* g_pHeronInternal;
extern vr::IVRDriverInputInternal* g_pVRDriverInputInternal;
extern vr::IVRSystemLayerInternal* g_pVRSystemLayerInternal;
extern vr::IGrebeInternal* g_pGrebeInternal;
extern vr::ILocalizationManager* g_pLocalizationMgr;
extern vr::IEgretSystemInternal* g_pCompositorSystemInternal;
extern vr::IVRInput* g_pInput;
extern vr::IVRInputInternal* g_pInputInternal;
extern vr::IVRChaperone* g_pVRChaperone;
extern vr::IVRChaperoneSetup* g_pVRChaperoneSetup;
extern vr::IVRChaperoneInternal* g_pVRChaperoneInternal;
extern vr::IVRChaperoneServerDriver* g_pVRChaperoneServerDriver;
extern vr::IVRApplications* g_pVRApplications;
extern vr::IVRSystem* g_pVRSystem;
extern vr::IVRMailbox* g_pVRMailbox;
extern vr::IVRDebug* g_pVRDebug;
extern vr::IVRBlockQueue* g_pVRBlockQueue;
extern vr::IVRControlPanel* g_pVRControlPanel;
extern vr::IVRApplicationsInternal* g_pVRApplicationsInternal;
extern vr::IVRNotificationsInternal* g_pVRNotificationsInternal;
extern vr::IVROverlay* g_pVROverlay;
extern vr::IVROverlayInternal* g_pVROverlayInternal;
extern vr::IVRExtendedDisplay* g_pVRExtendedDisplay;
extern vr::IVRTrackedCameraInternal* g_pVRTrackedCameraInternal;
extern vr::IVRCameraPassthroughInternal* g_pVRCameraPassthroughInternal;
extern vr::IVRDriverDirectInternal* g_pVRDriverDirectInternal;

// Accessors: each answers its binding (null when unbound). VRSettings(),
// VRPaths() and VRProperties() answer their helper instead, or null while the
// binding is null; the Raw variants answer the binding itself.
inline vr::IVRRenderModels* VRRenderModels() { return g_pRenderModels; }
inline vr::IVRRenderModelsInternal* VRRenderModelsInternal() { return g_pRenderModelsInternal; }
inline vr::IVRResources* VRResources() { return g_pVRResources; }
inline vr::IVRDriverManager* VRDriverManager() { return g_pVRDriverManager; }
inline vr::IVRSettings* VRSettingsRaw() { return g_pVRSettings; }
inline CVRSettingHelper* VRSettings() { return g_pVRSettings ? &g_VRSettingHelper : nullptr; }
inline vr::IVRSettingsInternal* VRSettingsInternal() { return g_pVRSettingsInternal; }
inline vr::IVRPaths* VRPathsRaw() { return g_pVRPaths; }
inline CVRPathHelper* VRPaths() { return g_pVRPaths ? &g_VRPathHelpers : nullptr; }
inline vr::IVRPathsInternal* VRPathsInternal() { return g_pVRPathsInternal; }
inline vr::IVRProperties* VRPropertiesRaw() { return g_pVRProperties; }
inline CVRPropertyHelper* VRProperties() { return g_pVRProperties ? &g_VRPropertyHelpers : nullptr; }
inline vr::IVRPropertiesInternal* VRPropertiesInternal() { return g_pVRPropertiesInternal; }
inline vr::IHeronInternal* HeronInternal() { return g_pHeronInternal; }
inline vr::IVRDriverInputInternal* VRDriverInputInternal() { return g_pVRDriverInputInternal; }
inline vr::IVRSystemLayerInternal* VRSystemLayerInternal() { return g_pVRSystemLayerInternal; }
inline vr::IGrebeInternal* GrebeInternal() { return g_pGrebeInternal; }
inline vr::IEgretSystemInternal* EgretSystemInternal() { return g_pCompositorSystemInternal; }
inline vr::IVRInput* VRInput() { return g_pInput; }
inline vr::IVRInputInternal* VRInputInternal() { return g_pInputInternal; }
inline vr::IVRChaperone* VRChaperone() { return g_pVRChaperone; }
inline vr::IVRChaperoneSetup* VRChaperoneSetup() { return g_pVRChaperoneSetup; }
inline vr::IVRChaperoneInternal* VRChaperoneInternal() { return g_pVRChaperoneInternal; }
inline vr::IVRChaperoneServerDriver* VRChaperoneServerDriver() { return g_pVRChaperoneServerDriver; }
inline vr::IVRApplications* VRApplications() { return g_pVRApplications; }
inline vr::IVRSystem* VRSystem() { return g_pVRSystem; }
inline vr::IVRMailbox* VRMailbox() { return g_pVRMailbox; }
inline vr::IVRDebug* VRDebug() { return g_pVRDebug; }
inline vr::IVRBlockQueue* VRBlockQueue() { return g_pVRBlockQueue; }
inline vr::IVRControlPanel* VRControlPanel() { return g_pVRControlPanel; }
inline vr::IVRApplicationsInternal* VRApplicationsInternal() { return g_pVRApplicationsInternal; }
inline vr::IVRNotificationsInternal* VRNotificationsInternal() { return g_pVRNotificationsInternal; }
inline vr::IVROverlay* VROverlay() { return g_pVROverlay; }
inline vr::IVROverlayInternal* VROverlayInternal() { return g_pVROverlayInternal; }
inline vr::IVRExtendedDisplay* VRExtendedDisplay() { return g_pVRExtendedDisplay; }
inline vr::IVRTrackedCameraInternal* VRTrackedCameraInternal() { return g_pVRTrackedCameraInternal; }
inline vr::IVRCameraPassthroughInternal* VRCameraPassthroughInternal() { return g_pVRCameraPassthroughInternal; }
inline vr::IVRDriverDirectInternal* VRDriverDirectInternal() { return g_pVRDriverDirectInternal; }

}  // namespace vr_internal
