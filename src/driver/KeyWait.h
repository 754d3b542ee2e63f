#pragma once
// Waiting for the adapter's push-button before programming (-k, -K).
#include "adapter/AdapterControls.h"
#include "console/Stopwatch.h"

namespace mervex {

// Prompt, wait for a held key to be released, then for a press.
// An adapter without a key fails with status 70.
void waitForKey(AdapterControls& adapter, Clock& clock);

// The key's state once two 20 ms samples in a row agree with it; each sample is
// a termination check point.
bool readKeyStable(AdapterControls& adapter, Clock& clock);

}  // namespace mervex
