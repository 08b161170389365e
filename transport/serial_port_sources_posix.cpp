// The serial ports a POSIX system has: Bluetooth RFCOMM links, USB serial adapters and modems
// (named after their /dev/serial/by-id links where there are some), and the virtual serial
// ports the stand-in player makes for this run, which it names in CORVINA_STANDIN_SERIAL_PORTS
// (paths separated by ':'). No port is opened.

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "transport/serial_port_list.h"

namespace tessel {

namespace {

namespace fs = std::filesystem;

// "usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0" -> "FTDI FT232R USB UART A6008isP".
std::string readable_link_name(std::string name) {
    if (name.rfind("usb-", 0) == 0) {
        name.erase(0, 4);
    }
    if (const std::size_t interface = name.rfind("-if"); interface != std::string::npos) {
        name.resize(interface);
    }
    for (char& c : name) {
        if (c == '_') {
            c = ' ';
        }
    }
    return name;
}

// The device each by-id link leads to, with the link's readable name.
std::map<std::string, std::string> names_by_id() {
    std::map<std::string, std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry("/dev/serial/by-id", error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path target = fs::canonical(entry->path(), error);
        if (!error) {
            names[target.string()] = readable_link_name(entry->path().filename().string());
        }
        error.clear();
    }
    return names;
}

void add_virtual_ports(std::vector<port_device>& out) {
    const char* listed = std::getenv("CORVINA_STANDIN_SERIAL_PORTS");
    std::string_view rest = listed != nullptr ? listed : "";
    while (!rest.empty()) {
        const std::size_t end = rest.find(':');
        const std::string_view path = rest.substr(0, end);
        if (!path.empty()) {
            out.push_back({std::string(path), "virtual serial cable of the stand-in player", {}});
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
}

std::vector<port_device> system_ports() {
    constexpr std::pair<std::string_view, const char*> families[] = {
        {"rfcomm", "Bluetooth RFCOMM link"},
        {"ttyUSB", "USB serial adapter"},
        {"ttyACM", "USB modem"},
    };
    std::vector<port_device> ports;
    add_virtual_ports(ports);
    const std::map<std::string, std::string> by_id = names_by_id();
    std::error_code error;
    for (fs::directory_iterator entry("/dev", error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        for (const auto& [prefix, kind] : families) {
            if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
                const std::string path = entry->path().string();
                const auto known = by_id.find(path);
                ports.push_back({path, known != by_id.end() ? known->second : kind, {}});
            }
        }
    }
    return ports;
}

// RFCOMM links name no device here.
std::vector<paired_device> no_paired_devices() {
    return {};
}

constexpr port_sources system_sources{system_ports, no_paired_devices};

}  // namespace

const port_sources& system_port_sources() {
    return system_sources;
}

}  // namespace tessel
