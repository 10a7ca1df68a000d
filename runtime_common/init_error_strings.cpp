#include "runtime_common/init_error_strings.h"

#include <cstdint>
#include <cstdio>

namespace {

struct CodeText {
  uint32_t code;
  const char* text;
};

// Codes compare as unsigned, so no negative code is ever found.
const char* FindText(const CodeText* table, size_t count, vr::EVRInitError code) {
  const uint32_t wanted = static_cast<uint32_t>(code);
  for (size_t i = 0; i < count; ++i)
    if (table[i].code == wanted) return table[i].text;
  return nullptr;
}

const CodeText kIdentifiers[] = {
#define VR_INIT_ERROR_IDENTIFIER(suffix, code) {code, "VRInitError_" #suffix},
    VR_INIT_ERROR_LIST(VR_INIT_ERROR_IDENTIFIER)
#undef VR_INIT_ERROR_IDENTIFIER
};

const CodeText kEnglish[] = {
    {0, "No Error (0)"},
    {100, "Installation Not Found (100)"},
    {101, "Installation Corrupt (101)"},
    {102, "grebe Shared Lib Not Found (102)"},
    {103, "File Not Found (103)"},
    {104, "Factory Function Not Found (104)"},
    {105, "Interface Not Found (105)"},
    {106, "Invalid Interface (106)"},
    {107, "User Config Directory Invalid (107)"},
    {108, "Hmd Not Found (108)"},
    {109, "Not Initialized (109)"},
    {110, "Installation path could not be located (110)"},
    {111, "Config path could not be located (111)"},
    {112, "Log path could not be located (112)"},
    {113, "Unable to write path registry (113)"},
    {114, "App info manager init failed (114)"},
    {115, "Internal Retry (115)"},
    {116, "User Canceled Init (116)"},
    {117, "Another app was already launching (117)"},
    {118, "Settings manager init failed (118)"},
    {119, "VR system shutting down (119)"},
    {120, "Too many tracked objects (120)"},
    {121, "Not starting heron for background app (121)"},
    {122, "The requested interface is incompatible with the compositor and the compositor is running (122)"},
    {123, "This interface is not available to utility applications (123)"},
    {124, "heron internal error (124)"},
    {125, "Hmd DriverId is invalid (125)"},
    {126, "Hmd Not Found Presence Failed (126)"},
    {127, "VR Monitor Not Found (127)"},
    {128, "VR Monitor startup failed (128)"},
    {129, "Low Power Watchdog Not Supported (129)"},
    {130, "Invalid Application Type (130)"},
    {131, "Not available to watchdog apps (131)"},
    {132, "Watchdog disabled in settings (132)"},
    {133, "VR Dashboard Not Found (133)"},
    {134, "VR Dashboard startup failed (134)"},
    {135, "VR Home Not Found (135)"},
    {136, "VR home startup failed (136)"},
    {137, "Rebooting In Progress (137)"},
    {138, "Firmware Update In Progress (138)"},
    {139, "Firmware Recovery In Progress (139)"},
    {140, "USB Service Busy (140)"},
    {160, "VR Dashboard startup failed, crane was pending for too long (160)"},
    {161, "VR Dashboard startup failed, attempt to communicate with crane timed out (161)"},
    {162, "VR Dashboard startup failed, crane was stopped (162)"},
    {163, "VR Dashboard startup failed, finch was already running (163)"},
    {164, "VR Dashboard startup failed, required files did not copy correctly (164)"},
    {165, "VR Dashboard startup failed, unable to create appropriate token (165)"},
    {166, "VR Dashboard startup failed, unable to create appropriate environment (166)"},
    {167, "VR Dashboard startup failed, path error (167)"},
    {200, "Driver Failed (200)"},
    {201, "Driver Not Known (201)"},
    {202, "HMD Not Known (202)"},
    {203, "Driver Not Loaded (203)"},
    {204, "Driver runtime is out of date (204)"},
    {205, "HMD already in use by another application (205)"},
    {206, "Device is not calibrated (206)"},
    {207, "Device Calibration is invalid (207)"},
    {208, "HMD detected over USB, but Monitor not found (208)"},
    {209, "Driver Tracked Device Interface unknown (209)"},
    {211, "Hmd DriverId is our of bounds (211)"},
    {212, "HMD detected over USB, but Monitor may be mirrored instead of extended (212)"},
    {213, "On laptop, HMD detected over USB, but Monitor not found (213)"},
    {214, "The current HMD requires an additional driver that is not installed (214)"},
    {215, "A wireless HMD driver is present, but the wireless HMD has not connected yet (215)"},
    {300, "VR Server Init Failed (300)"},
    {301, "Connect to VR Server Failed (301)"},
    {302, "Shared IPC State Init Failed (302)"},
    {303, "Shared IPC Compositor Init Failed (303)"},
    {304, "Shared IPC Mutex Init Failed (304)"},
    {305, "Shared IPC Failed (305)"},
    {306, "Shared IPC Compositor Connect Failed (306)"},
    {307, "Shared IPC Compositor Invalid Connect Response (307)"},
    {308, "Shared IPC Connect Failed After Multiple Attempts (308)"},
    {309, "Shared IPC Connect Failed After Target Exited (309)"},
    {310, "Shared IPC Namespace Unavailable (310)"},
    {400, "Compositor failed to initialize (400)"},
    {401, "Compositor failed to find DX11 hardware (401)"},
    {402, "Compositor requires mandatory firmware update (402)"},
    {403, "Compositor initialization succeeded, but overlay init failed (403)"},
    {404, "Compositor initialization succeeded, but screenshot init failed (404)"},
    {405, "Compositor unable to create graphics device (405)"},
    {499, "Driver unable to initialize video encoder (499)"},
    {1000, "Unable to connect to Oculus Runtime (1000)"},
    {1101, "HMD found, but can not open device (1101)"},
    {1102, "HMD found, but unable to request config (1102)"},
    {1103, "HMD found, but no stored config (1103)"},
    {1104, "HMD found, but config too big (1104)"},
    {1105, "HMD found, but config too small (1105)"},
    {1106, "HMD found, but unable to init ZLib (1106)"},
    {1107, "HMD found, but problems with the data (1107)"},
    {1108, "HMD found, but problems with the data (1108)"},
    {1109, "HMD found, but problems with the data (1109)"},
    {1110, "HMD found, but problems with the data (1110)"},
    {1111, "HMD found, but problems with the data (1111)"},
    {1112, "HMD found, but problems with the data (1112)"},
    {1113, "HMD found, but failed configuration check (1113)"},
    {1114, "Unable to connect to Oculus Runtime, possible bad install (1114)"},
    {1115, "HMD found, but problems with the data (1115)"},
    {2000, "Unable to find Tolva installation (2000)"},
};

char g_szUnknownError[128];

}  // namespace

const char* GetIDForVRInitError(vr::EVRInitError code) {
  if (const char* id = FindText(kIdentifiers, sizeof(kIdentifiers) / sizeof(kIdentifiers[0]), code))
    return id;
  snprintf(g_szUnknownError, sizeof(g_szUnknownError), "Unknown error (%d)",
           static_cast<int>(code));
  return g_szUnknownError;
}

const char* GetEnglishStringForHmdError(vr::EVRInitError code) {
  if (const char* text = FindText(kEnglish, sizeof(kEnglish) / sizeof(kEnglish[0]), code))
    return text;
  return GetIDForVRInitError(code);
}
