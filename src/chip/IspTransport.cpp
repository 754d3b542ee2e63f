#include "chip/IspTransport.h"

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

void checkEcho(const IspInstruction& command, const IspInstruction& reply) {
    if (reply[isp::EchoIndex] != command[0]) throwSyncLost();
}

void sendChecked(IspLink& link, const IspInstruction& command) {
    link.sendByte(command[0]);
    uint8_t echo = link.transferByte(command[1]);
    link.sendBlock(command.bytes + 2, 2);
    if (echo != command[0]) throwSyncLost();
}

uint8_t exchangeRead(IspLink& link, const IspInstruction& command) {
    link.sendByte(command[0]);
    uint8_t echo = link.transferByte(command[1]);
    link.sendByte(command[2]);
    uint8_t data = link.receiveByte();
    if (echo != command[0]) throwSyncLost();
    return data;
}

void traceInstruction(const char* label, const IspInstruction& command, const IspInstruction& reply) {
    message(LevelTrace, "%s: command %02X %02X %02X %02X, reply %02X %02X %02X %02X\n", label,
            unsigned(command[0]), unsigned(command[1]), unsigned(command[2]), unsigned(command[3]),
            unsigned(reply[0]), unsigned(reply[1]), unsigned(reply[2]), unsigned(reply[3]));
}

void traceReply(const char* label, const IspInstruction& reply) {
    message(LevelTrace, "%s: %02X %02X %02X %02X\n", label, unsigned(reply[0]), unsigned(reply[1]),
            unsigned(reply[2]), unsigned(reply[3]));
}

void throwSyncLost() { throw app_error(ExitSync, "\nSynchronisation lost\n"); }

}  // namespace mervex
