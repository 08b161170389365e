#include <stdexcept>

#include "standin/player/virtual_serial.h"

namespace standin {

struct virtual_serial_cable::relay {};

virtual_serial_cable::virtual_serial_cable() {
    throw std::runtime_error(
        "a virtual serial port is not available on Windows; under Wine link a COM port to a "
        "pseudo-terminal ($WINEPREFIX/dosdevices/comN) and pass --port COMN");
}

virtual_serial_cable::~virtual_serial_cable() = default;

}  // namespace standin
