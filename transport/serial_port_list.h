#pragma once
// The serial ports of this computer, each described with what the system knows of it: for a
// Bluetooth port the paired device's name and its direction, for others their friendly name.
// Read from the device tree and the registry (Windows) or /dev (POSIX); no port is ever opened,
// since opening an outgoing Bluetooth port pages its phone for seconds. The system is read
// through one table, which a test can fill with devices of its own.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// One port as the system records it.
struct port_device {
    std::string port;           // "COM5" on Windows, a device path on POSIX
    std::string friendly_name;  // "Standard Serial over Bluetooth link (COM5)"; may be empty
    std::string instance_id;    // the device instance path; may be empty
};

// A Bluetooth device paired with this computer.
struct paired_device {
    std::uint64_t address;
    std::string name;
};

struct port_sources {
    std::vector<port_device> (*ports)();
    // Asked only when some port belongs to a Bluetooth device.
    std::vector<paired_device> (*paired_devices)();
};

// The system's table: the device tree and the registry (Windows), /dev (POSIX).
const port_sources& system_port_sources();

// The table in use: the system's, unless a test put its own.
const port_sources& current_port_sources();

// For tests: reads through the given table from now on (null: the system's again). The table
// must outlive its use.
void use_port_sources(const port_sources* sources);

enum class port_kind { bluetooth_outgoing, other, bluetooth_incoming };

struct listed_port {
    std::string port;
    std::string description;  // starts with the port: "COM5 - Pixel 7 (Bluetooth, outgoing)"
    port_kind kind;
};

// The remote address a Bluetooth serial port's device instance path carries: the last part
// ends in the address's 12 hex digits, then "_" and a service tail
// ("BTHENUM\{...}_LOCALMFG&0002\7&1A2B3C4D&0&0C8BFD123456_C00000000"). Zero for an incoming
// port; -1 when the path is not a Bluetooth serial port's.
std::int64_t bluetooth_address_of(std::string_view instance_id);

// Every port once, outgoing Bluetooth ports first, then the others, then incoming Bluetooth
// ports, each group by port number.
std::vector<listed_port> list_serial_ports();

// Whether the setting names one of the ports (case ignored where port names ignore it).
bool names_listed_port(const std::vector<listed_port>& ports, std::string_view setting);

// The console's account of the ports after an open of the named port failed: one line.
std::string ports_after_failed_open(const std::vector<listed_port>& ports,
                                    std::string_view setting);

}  // namespace tessel
