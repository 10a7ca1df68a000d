#pragma once
// The command-line options of lark and how they are looked up.
//
// Options are whole arguments matched without regard to ASCII letter case;
// position 0 (the program path) is never an option. Only the first
// occurrence of an option counts. An option that takes a value takes the
// argument right after it, whatever that argument is (an option name
// included); when the option stands last it counts as absent. Nothing here
// fails: a null or short argument vector simply holds no options.

// Options in the order in which RealMain tests them.
inline constexpr char k_pchOptionShutdown[] = "-shutdown";
inline constexpr char k_pchOptionCrash[] = "-crash";
inline constexpr char k_pchOptionRestart[] = "-restart";            // process id
inline constexpr char k_pchOptionKeepAlive[] = "-keepalive";
inline constexpr char k_pchOptionStartupInfo[] = "-startupinfo";    // text
inline constexpr char k_pchOptionViveSetup[] = "-TolvaViveSetup";
inline constexpr char k_pchOptionVkValidation[] = "-vkvalidation";
inline constexpr char k_pchOptionHang[] = "-hang";
inline constexpr char k_pchOptionDisableWatchdogs[] = "-disablewatchdogs";
inline constexpr char k_pchOptionStartupReason[] = "-startupreason";  // text
inline constexpr char k_pchOptionMuteSettings[] = "-mutesettings";

// Position (1 to argc - 1) of the first argument equal to `name` under
// stricmp, skipping null entries; 0 when argc is 1 or less or nothing
// matches.
int GetArgumentIndex(int argc, char** argv, const char* name);

// GetArgumentIndex(...) > 0.
bool BHasOption(int argc, char** argv, const char* name);

// The argument after the first occurrence of `name`; null when the option is
// absent or stands last (or the value slot is a null entry).
const char* GetOptionValue(int argc, char** argv, const char* name);
