#include "transport/serial_port_list.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <map>

namespace tessel {

namespace {

#if defined(_WIN32)
constexpr bool names_ignore_case = true;
#else
constexpr bool names_ignore_case = false;
#endif

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool same_port(std::string_view a, std::string_view b) {
    if (!names_ignore_case) {
        return a == b;
    }
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool is_hex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// COM2 before COM10: the name's stem, then the number it ends in.
bool comes_before(const listed_port& a, const listed_port& b) {
    if (a.kind != b.kind) {
        return a.kind < b.kind;
    }
    const auto split = [](const std::string& port) {
        std::size_t digits = port.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(port[digits - 1])) != 0) {
            --digits;
        }
        std::string stem;
        for (std::size_t i = 0; i < digits; ++i) {
            stem += lower(port[i]);
        }
        const std::string number = port.substr(digits);
        return std::make_pair(stem, number.empty() ? 0UL : std::stoul(number.substr(0, 9)));
    };
    return split(a.port) < split(b.port);
}

std::string address_text(std::uint64_t address) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X",
                  static_cast<unsigned>((address >> 40) & 0xFF),
                  static_cast<unsigned>((address >> 32) & 0xFF),
                  static_cast<unsigned>((address >> 24) & 0xFF),
                  static_cast<unsigned>((address >> 16) & 0xFF),
                  static_cast<unsigned>((address >> 8) & 0xFF),
                  static_cast<unsigned>(address & 0xFF));
    return text;
}

// The friendly name without the " (COM3)" Windows ends it with: the item starts with the port.
std::string plain_name(const port_device& device) {
    std::string name = device.friendly_name;
    const std::string tail = " (" + device.port + ")";
    if (name.size() > tail.size() && same_port(name.substr(name.size() - tail.size()), tail)) {
        name.resize(name.size() - tail.size());
    }
    return name.empty() ? "serial port" : name;
}

std::string joined(const std::vector<listed_port>& ports) {
    std::string text;
    for (const listed_port& port : ports) {
        if (!text.empty()) {
            text += "; ";
        }
        text += port.description;
    }
    return text;
}

}  // namespace

std::int64_t bluetooth_address_of(std::string_view instance_id) {
    constexpr std::string_view bus = "BTHENUM\\";
    if (instance_id.size() < bus.size() ||
        !std::equal(bus.begin(), bus.end(), instance_id.begin(),
                    [](char x, char y) { return lower(x) == lower(y); })) {
        return -1;
    }
    const std::string_view last = instance_id.substr(instance_id.rfind('\\') + 1);
    const std::size_t tail = last.rfind('_');
    if (tail == std::string_view::npos || tail < 12) {
        return -1;
    }
    const std::string_view digits = last.substr(tail - 12, 12);
    if (!std::all_of(digits.begin(), digits.end(), is_hex) ||
        (tail > 12 && last[tail - 13] != '&')) {
        return -1;
    }
    return static_cast<std::int64_t>(std::stoull(std::string(digits), nullptr, 16));
}

namespace {

std::atomic<const port_sources*> sources_in_use{nullptr};

}  // namespace

const port_sources& current_port_sources() {
    const port_sources* replaced = sources_in_use.load();
    return replaced != nullptr ? *replaced : system_port_sources();
}

void use_port_sources(const port_sources* sources) {
    sources_in_use.store(sources);
}

std::vector<listed_port> list_serial_ports() {
    const port_sources& sources = current_port_sources();
    std::vector<port_device> devices = sources.ports();

    std::vector<listed_port> ports;
    std::vector<std::pair<std::size_t, std::uint64_t>> outgoing;  // index, remote address
    for (const port_device& device : devices) {
        if (device.port.empty() ||
            std::any_of(ports.begin(), ports.end(), [&](const listed_port& seen) {
                return same_port(seen.port, device.port);
            })) {
            continue;
        }
        const std::int64_t address = bluetooth_address_of(device.instance_id);
        if (address > 0) {
            outgoing.emplace_back(ports.size(), static_cast<std::uint64_t>(address));
            ports.push_back({device.port,
                             device.port + " - " + address_text(address) + ", Bluetooth outgoing",
                             port_kind::bluetooth_outgoing});
        } else if (address == 0) {
            ports.push_back({device.port, device.port + " - Bluetooth incoming",
                             port_kind::bluetooth_incoming});
        } else {
            ports.push_back(
                {device.port, device.port + " - " + plain_name(device), port_kind::other});
        }
    }
    if (!outgoing.empty()) {
        std::map<std::uint64_t, std::string> names;
        for (paired_device& device : sources.paired_devices()) {
            if (!device.name.empty()) {
                names[device.address] = std::move(device.name);
            }
        }
        for (const auto& [index, address] : outgoing) {
            if (const auto found = names.find(address); found != names.end()) {
                listed_port& port = ports[index];
                port.description = port.port + " - " + found->second + ", Bluetooth outgoing";
            }
        }
    }
    std::stable_sort(ports.begin(), ports.end(), comes_before);
    return ports;
}

bool names_listed_port(const std::vector<listed_port>& ports, std::string_view setting) {
    return std::any_of(ports.begin(), ports.end(),
                       [&](const listed_port& port) { return same_port(port.port, setting); });
}

std::string ports_after_failed_open(const std::vector<listed_port>& ports,
                                    std::string_view setting) {
    std::string text;
    if (setting.empty()) {
        text = "No serial port is set. ";
    } else if (!names_listed_port(ports, setting)) {
        text = std::string(setting) + " is not a serial port of this computer. ";
    }
    if (ports.empty()) {
        return text + "No serial port was found.";
    }
    return text + "Serial ports: " + joined(ports);
}

}  // namespace tessel
