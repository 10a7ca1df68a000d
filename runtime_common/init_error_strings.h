#pragma once
// Identifiers and English texts of the runtime's initialisation error codes.
//
// Both functions never return null. A code without English text falls back
// to its identifier, and a code without identifier to "Unknown error (%d)",
// formatted into one process-wide buffer that the next such lookup
// overwrites (not locked: this program looks codes up on one thread).
// Table strings have static storage and may be kept.

#include "tandem_api/vr_init_error.h"

// "VRInitError_..." for a known code, else the fallback text.
const char* GetIDForVRInitError(vr::EVRInitError code);

// The English sentence ending in " (<code>)", else GetIDForVRInitError.
const char* GetEnglishStringForHmdError(vr::EVRInitError code);
