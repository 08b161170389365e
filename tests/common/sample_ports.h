#pragma once
// The serial ports of a sample PC, put in place of the system's for as long as the object
// lives: two paired phones and a USB serial adapter, as Windows records them.

#include <string>
#include <utility>
#include <vector>

#include "transport/serial_port_list.h"

namespace tessel::test {

class sample_ports {
  public:
    sample_ports() : previous_(active) {
        active = this;
        use_port_sources(&table());
    }
    ~sample_ports() {
        active = previous_;
        use_port_sources(previous_ != nullptr ? &table() : nullptr);
    }
    sample_ports(const sample_ports&) = delete;
    sample_ports& operator=(const sample_ports&) = delete;

    // Phone "Pixel 7" has an outgoing and an incoming port, "Galaxy S21" an outgoing one; the
    // adapter appears in the device tree and again in the registry's serial-port map.
    std::vector<port_device> ports{
        {"COM6", "Standard Serial over Bluetooth link (COM6)",
         "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\7&2B1D9C05&0&"
         "000000000000_00000000"},
        {"COM12", "Standard Serial over Bluetooth link (COM12)",
         "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2B1D9C05&0&"
         "A4C3F0E1D2B3_C00000000"},
        {"COM3", "USB Serial Port (COM3)", "FTDIBUS\\VID_0403+PID_6001+A6008ISPA\\0000"},
        {"COM5", "Standard Serial over Bluetooth link (COM5)",
         "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2B1D9C05&0&"
         "0C8BFD123456_C00000000"},
        {"COM3", "", ""},
    };
    std::vector<paired_device> paired{{0x0C8BFD123456, "Pixel 7"}, {0xA4C3F0E1D2B3, "Galaxy S21"}};
    int paired_questions = 0;

    // The items the list shows for them, in order.
    static std::vector<std::string> descriptions() {
        return {"COM5 - Pixel 7, Bluetooth outgoing", "COM12 - Galaxy S21, Bluetooth outgoing",
                "COM3 - USB Serial Port", "COM6 - Bluetooth incoming"};
    }

  private:
    static inline sample_ports* active = nullptr;
    static std::vector<port_device> active_ports() { return active->ports; }
    static std::vector<paired_device> active_paired() {
        ++active->paired_questions;
        return active->paired;
    }
    static const port_sources& table() {
        static constexpr port_sources sources{active_ports, active_paired};
        return sources;
    }
    sample_ports* previous_;
};

}  // namespace tessel::test
