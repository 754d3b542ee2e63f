#pragma once
// The programmer: the one object a run owns for its hardware, from adapter
// set-up to the end of the run. The chip layer talks to its ISP link; the run
// works its adapter controls and switches it on and off.
#include "adapter/AdapterControls.h"
#include "adapter/IspLink.h"

namespace mervex {

class Programmer : public IspLink, public AdapterControls {
public:
    using IspLink::IspLink;

    // Power the target, enable the buffers, switch both LEDs off.
    void enableAdapter();
    // Release RESET, disable the buffers, switch the power off. Does nothing
    // when the adapter was not enabled or was already disabled.
    void disableAdapter();

private:
    bool active_ = false;
};

}  // namespace mervex
