#include "chip/Calibration.h"

#include "chip/ChipDescriptor.h"
#include "chip/IspInstruction.h"
#include "chip/IspTransport.h"
#include "console/SignalMonitor.h"

namespace mervex {

void readCalibration(ChipState& session) {
    FuseValues& fuses = session.fuses;
    const int available = int(sizeof fuses.calibration);
    int count = session.selectedChip().calibrationCount;
    if (count > available) count = available;
    for (int i = 0; i < count; ++i) {
        IspInstruction command = isp::readCalibration(uint8_t(i));
        IspInstruction reply = session.link().exchange(command);
        traceInstruction("Read Osccal", command, reply);
        checkEcho(command, reply);
        fuses.calibration[i] = reply[isp::DataIndex];
        checkTermination();
    }
}

}  // namespace mervex
