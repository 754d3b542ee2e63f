#pragma once
// Carrying one ISP instruction to the chip and back: whole or byte by byte,
// the echo rule, the trace lines and the failure of a lost synchronisation.
#include <cstdint>

#include "adapter/Programmer.h"
#include "chip/IspInstruction.h"

namespace mervex {

// Send the whole instruction with one transferBlock and return the four reply bytes.
IspInstruction exchangeInstruction(Programmer& programmer, const IspInstruction& command);

// Fail with "Synchronisation lost" unless reply byte 1 echoes command byte 0.
void checkEcho(const IspInstruction& command, const IspInstruction& reply);

// exchangeInstruction followed by checkEcho.
IspInstruction exchangeChecked(Programmer& programmer, const IspInstruction& command);

// Send a read instruction the way the programmer prefers (one transferBlock, or
// byte by byte with the echo taken while byte 1 goes out), check the echo and
// return the data byte.
uint8_t exchangeRead(Programmer& programmer, const IspInstruction& command);

// Trace one instruction and its reply at trace level.
void traceInstruction(const char* label, const IspInstruction& command, const IspInstruction& reply);

// Trace one reply at trace level.
void traceReply(const char* label, const IspInstruction& reply);

// Report "Synchronisation lost" and fail the run with status 40.
[[noreturn]] void throwSyncLost();

}  // namespace mervex
