#include <windows.h>

#include <cstdlib>

#include "tests/transport/serial_peer.h"
#include "transport/bluetooth_connection.h"

namespace tessel::test {

using clock = std::chrono::steady_clock;

// The phone's end is a serial port of its own, with the same time-outs.
struct serial_peer::line {
    bluetooth_connection port;
};

serial_peer::serial_peer() : line_(std::make_unique<line>()) {
    const char* port = std::getenv("TESSEL_SERIAL_PORT");
    const char* peer = std::getenv("TESSEL_PEER_PORT");
    if (port == nullptr || peer == nullptr) {
        reason_ = "TESSEL_SERIAL_PORT and TESSEL_PEER_PORT name no linked ports";
        return;
    }
    port_name_ = port;
    line_->port.set_port_name(string8(peer));
    if (!line_->port.open()) {
        reason_ = std::string("cannot open the peer port ") + peer;
    }
}

serial_peer::~serial_peer() = default;

bool serial_peer::send(std::string_view bytes) {
    std::size_t sent = 0;
    const clock::time_point deadline = clock::now() + std::chrono::seconds(30);
    while (sent < bytes.size() && clock::now() < deadline) {
        const int done = line_->port.write(bytes.data() + sent, bytes.size() - sent);
        sent += done > 0 ? static_cast<std::size_t>(done) : 0;
    }
    return sent == bytes.size();
}

std::string serial_peer::receive(std::size_t count, std::chrono::milliseconds limit) {
    std::string got;
    const clock::time_point deadline = clock::now() + limit;
    while (got.size() < count && clock::now() < deadline) {
        char chunk[4096];
        const std::size_t wanted = std::min(sizeof chunk, count - got.size());
        const int done = line_->port.read(chunk, wanted);
        if (done > 0) {
            got.append(chunk, static_cast<std::size_t>(done));
        }
    }
    return got;
}

bool serial_peer::hang_up() {
    return false;
}

bool serial_peer::ports_are_exclusive() const {
    // Wine's serial ports take no notice of the share mode.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

}  // namespace tessel::test
