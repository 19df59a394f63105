#pragma once
// The registration switches of TARNSvr's command line.
//
// Every "-" or "/" in the command line starts a token: the text after it up to
// the next blank, tab or end. A token matches a switch when it equals the
// switch's name regardless of letter case; a longer token matches nothing.
// The first pass tries, at each token in order, "UnregServer", "RegServer",
// "UnregServerPerUser" and "RegServerPerUser"; only when it finds none does a
// second pass look for "Service". So "Service" together with "RegServer"
// registers the plain form, in either order.

#include <cstdint>
#include <string>
#include <vector>

#include "service/host/HResult.h"

namespace tarn {

enum class CommandSwitch {
    kNone,                // no switch: the program goes on to start
    kUnregServer,         // remove the registration
    kRegServer,           // register as a plain (console) server
    kUnregServerPerUser,  // remove, with the registrar's entries per user
    kRegServerPerUser,    // register plain, with the registrar's entries per user
    kService,             // register as a service
};

// The switch a command line asks for (the two passes above).
CommandSwitch FindCommandSwitch(const std::string& commandLine);

// The command line that the switches are looked for in: the program's
// arguments joined by blanks. The program's own path is left out, since every
// '/' in it would start a token.
std::string JoinArguments(int argc, const char* const* argv);

// What the switches do; implemented by the registration and by test doubles.
class RegistrationActions {
  public:
    virtual ~RegistrationActions() = default;
    virtual HRESULT RegisterAppId(bool serviceForm) = 0;
    virtual HRESULT UnregisterAppId() = 0;
    // Makes the registrar write its entries for the current user only.
    virtual void SetPerUser() = 0;
};

// Runs the switch the command line holds. Returns true when a switch was
// handled; *result then holds the work's result code, which becomes the
// process's exit code. Returns false when the program should go on to start.
bool ParseCommandLine(const std::string& commandLine, RegistrationActions& actions, HRESULT* result);

}  // namespace tarn
