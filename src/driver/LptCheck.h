#pragma once
// The guided check's steps that belong to a parallel port: the port itself,
// and the cable on it recognised by its loop-backs. Each prints its line and
// throws the check's failure (CheckVerdict.h) when it finds the fault.
#include <memory>

#include "adapter/AdapterSetup.h"
#include "adapter/ParallelPort.h"

namespace mervex {

// The port measures, the detections and the adapter wait on clock, which
// outlives them.

// Open the port of the settings and look at it: opened and claimed, its write
// cycle, its data lines reading back what is written.
std::unique_ptr<ParallelPort> checkPort(const AdapterSettings& settings, Clock& clock);

// Which cable answers its loop-backs, against the one the settings ask for;
// for -aa, the settings then name the cable found.
void checkCable(ParallelPort& port, AdapterSettings& settings, Clock& clock);

// The adapter on the port, as the settings now name it, with its wiring drawn
// so that the cable can be checked against it.
std::unique_ptr<Programmer> wiredAdapter(std::unique_ptr<ParallelPort> port, const AdapterSettings& settings,
                                         Clock& clock);

}  // namespace mervex
