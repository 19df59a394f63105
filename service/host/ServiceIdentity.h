#pragma once
// The fixed identities of TARNSvr: service name, AppID, description and the
// registry keys that registration writes and removes.

namespace tarn {

// Service name; also display name, event source and caption.
inline constexpr const char* kServiceName = "TARNSvr";
// The program's AppID in its braced text form; names its key below AppID.
inline constexpr const char* kAppIdGuid = "{5B1E7C2A-8D3F-4A61-9C0E-2F7A4B9D1E63}";
inline constexpr const char* kServiceDescription = "Orvane - TARN Service";
// Message-table library named as the event source's message file.
inline constexpr const char* kEventMessageFile = "TARNSvrMsg.dll";
// Key below AppID that names the executable.
inline constexpr const char* kExeAppIdKey = "TARNSvr.EXE";

// Registry keys (backslash-separated, from the hive down).
inline constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT";
inline constexpr const char* kPerUserClassesRoot = "HKEY_CURRENT_USER\\Software\\Classes";
inline constexpr const char* kAppIdKey = "HKEY_CLASSES_ROOT\\AppID";
inline constexpr const char* kEventSourceParentKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
inline constexpr const char* kServiceKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\TARNSvr";

// Value under the AppID key whose presence makes the program run as a service.
inline constexpr const char* kLocalServiceValue = "LocalService";

// Name of the configuration file in the program's folder.
inline constexpr const char* kIniFileName = "TARN.ini";

}  // namespace tarn
