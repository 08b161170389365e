#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "tests/transport/serial_peer.h"
#include "transport/bluetooth_connection.h"

namespace tessel::test {

using clock = std::chrono::steady_clock;

namespace {

// The test driver's control of the line (TESSEL_LINE_CONTROL, a folder): a request is a file
// of that name, answered by a file of the answer's name once carried out. False when the
// control is not offered or gives no answer in time.
bool ask_driver(const char* request, const char* answer, std::chrono::seconds limit) {
    const char* folder = std::getenv("TESSEL_LINE_CONTROL");
    if (folder == nullptr) {
        return false;
    }
    const std::string answered = std::string(folder) + "\\" + answer;
    DeleteFileA(answered.c_str());
    if (!std::ofstream(std::string(folder) + "\\" + request)) {
        return false;
    }
    const clock::time_point deadline = clock::now() + limit;
    while (GetFileAttributesA(answered.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (clock::now() >= deadline) {
            return false;
        }
        Sleep(20);
    }
    DeleteFileA(answered.c_str());
    return true;
}

// Set while a peer has hung the line up and no new line has come: the next test needs one.
bool line_is_down = false;

}  // namespace

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
    // Opened without the connection's log lines: the console under test is the link's.
    port_handle opened;
    if (bluetooth_connection::open_port(string8(peer), opened) == open_outcome::opened) {
        line_->port.adopt(std::move(opened));
    } else {
        reason_ = std::string("cannot open the peer port ") + peer;
    }
}

serial_peer::~serial_peer() {
    if (line_is_down) {
        bring_line_back();
    }
}

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
    if (std::getenv("TESSEL_LINE_CONTROL") == nullptr) {
        return false;
    }
    // The phone's own handle first, so that the line's end is the driver's alone.
    line_->port.close();
    line_is_down = ask_driver("hang-up", "hung-up", std::chrono::seconds(10));
    return line_is_down;
}

bool serial_peer::bring_line_back() {
    if (!ask_driver("come-back", "back", std::chrono::seconds(20))) {
        return false;
    }
    line_is_down = false;
    return true;
}

bool serial_peer::ports_are_exclusive() const {
    // Wine's serial ports take no notice of the share mode.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

}  // namespace tessel::test
