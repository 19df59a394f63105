// TARNSvr: the print-output server. Until the service host decides the mode,
// it runs in console mode in the foreground.

#include "platform/EventSink.h"
#include "service/host/TARNSvrModule.h"

int main() {
    tarn::IgnoreBrokenPipe();
    tarn::CTARNSvrModule module;
    module.SetRunningAsService(false);
    return tarn::ExitStatusFor(module.Run());
}
