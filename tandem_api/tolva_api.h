#pragma once
// Our declarations of the platform client library libtolva_api.so, as this
// program uses it. Only the question whether the platform client runs is
// called directly; crash functions are looked up by name where they are used.

extern "C" {

// True when the platform client runs; false otherwise or when that cannot
// be told.
bool TolvaAPI_IsTolvaRunning();

}  // extern "C"
