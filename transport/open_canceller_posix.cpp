#include "transport/open_canceller.h"

namespace tessel {

// Interrupting the opening thread would take a signal, which a component must not claim.
open_canceller::~open_canceller() = default;

void open_canceller::arm() {}

void open_canceller::disarm() {}

void open_canceller::cancel() {}

}  // namespace tessel
