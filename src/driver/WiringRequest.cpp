#include "driver/WiringRequest.h"

#include <string>
#include <vector>

#include "adapter/AdapterSetup.h"
#include "adapter/WiringDrawing.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "driver/AdapterRequest.h"

namespace mervex {

void printWirings(const Request& request, const PortBackends& backends) {
    if (request.filesGiven() || request.read || request.write != 0 || request.verify || request.erase ||
        request.blankCheck != 0 || request.lockRequest != 0 || request.fuseList != nullptr || request.eraseCounter) {
        throw app_error(ExitUsage, "--wiring only draws the cable: run the operations without it\n");
    }
    const std::vector<std::string> drawings = wiringDrawings(wiringSettingsOf(request, backends));
    for (size_t i = 0; i < drawings.size(); ++i) {
        if (i > 0) message(LevelInfo, "\n");
        printDrawing(drawings[i]);
    }
}

}  // namespace mervex
