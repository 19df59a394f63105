// TARNSvr: the print-output server. A registration switch on the command line
// registers or removes the program and ends; otherwise the registry decides
// between service mode and console mode.

#include "platform/EventSink.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/ServiceHost.h"
#include "platform/ServiceManager.h"
#include "service/host/CommandLine.h"
#include "service/host/Registration.h"
#include "service/host/TARNSvrModule.h"

int main(int argc, char** argv) {
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
