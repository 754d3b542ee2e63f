#pragma once
// Carrying one ISP instruction over the link and back: the echo rule, the
// byte-wise read, the trace lines and the failure of a lost synchronisation.
#include <cstdint>

#include "adapter/IspLink.h"
#include "chip/IspInstruction.h"

namespace mervex {

// Fail with "Synchronisation lost" unless reply byte 1 echoes command byte 0.
void checkEcho(const IspInstruction& command, const IspInstruction& reply);

// Send an instruction whose reply is only its echo (a write, a load, a page
// write) byte by byte, sampling only the echo (taken while byte 1 goes out);
// check it.
void sendChecked(IspLink& link, const IspInstruction& command);

// Send a read instruction byte by byte, sampling only the echo and the data
// byte; check the echo and return the data.
uint8_t exchangeRead(IspLink& link, const IspInstruction& command);

// Trace one instruction and its reply at trace level.
void traceInstruction(const char* label, const IspInstruction& command, const IspInstruction& reply);

// Trace one reply at trace level.
void traceReply(const char* label, const IspInstruction& reply);

// Report "Synchronisation lost" and fail the run with status 40.
[[noreturn]] void throwSyncLost();

}  // namespace mervex
