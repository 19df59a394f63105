// TARNSvr: the print-output server. A registration switch on the command line
// registers or removes the program and ends; otherwise the registry decides
// between service mode and console mode.

#include "common/ProgramInfo.h"
#include "platform/EventSink.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/ServiceHost.h"
#include "platform/ServiceManager.h"
#include "service/host/CommandLine.h"
#include "service/host/Registration.h"
#include "service/host/TARNSvrModule.h"

namespace {

const char kUsage[] =
    "usage: TARNSvr [-Service | -RegServer | -UnregServer | -RegServerPerUser | -UnregServerPerUser]\n"
    "Without a switch the server starts: as a service when registered with -Service,\n"
    "else in console mode. A switch registers or removes the program and ends.\n"
    "  -Service      register as a service (registry entries and a systemd unit)\n"
    "  -RegServer    register as a plain server (console mode); removes the service\n"
    "  -UnregServer  remove the service and the registry entries\n"
    "Environment: TARN_REGISTRY_ROOT, TARN_UNIT_DIR, TARN_PID_FILE override the\n"
    "registry folder, the unit folder and the pid file.\n";

}  // namespace

int main(int argc, char** argv) {
    if (tarn::AnswerHelpOrVersion(argc, argv, "TARNSvr", kUsage)) return 0;
    tarn::IgnoreBrokenPipe();
    // Before any thread starts, so that only the dispatcher receives them.
    tarn::ServiceHost::BlockControlSignals();

    tarn::CServiceRegistration registration(tarn::Registry::FromEnvironment(),
                                            tarn::ServiceManager::FromEnvironment(), tarn::ProgramPath());
    tarn::HRESULT result = tarn::S_OK;
    if (tarn::ParseCommandLine(tarn::JoinArguments(argc, argv), registration, &result)) {
        return tarn::ExitStatusFor(result);
    }
    tarn::CTARNSvrModule module;
    return tarn::ExitStatusFor(module.Start());
}
