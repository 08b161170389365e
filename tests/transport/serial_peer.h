#pragma once
// The phone's end of a real serial line for the connection tests. On POSIX it is the master
// of a pseudo-terminal pair and port_name() is the far end's device path. On Windows it is
// the port named by TESSEL_PEER_PORT, linked to the port TESSEL_SERIAL_PORT that port_name()
// answers (a test driver links both to a pair of pseudo-terminals); without them the peer is
// not available and the tests skip.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tessel::test {

class serial_peer {
  public:
    serial_peer();
    serial_peer(const serial_peer&) = delete;
    serial_peer& operator=(const serial_peer&) = delete;
    ~serial_peer();

    // Empty when the line is ready; otherwise why it is not.
    const std::string& unavailable_reason() const { return reason_; }
    // The name the connection under test opens.
    const std::string& port_name() const { return port_name_; }

    // Writes every byte; false when the line refused some.
    bool send(std::string_view bytes);
    // Collects up to count bytes, giving up after limit.
    std::string receive(std::size_t count, std::chrono::milliseconds limit);
    // Closes the phone's end, and under Wine ends the line behind both ports (only when the
    // test driver offers that control); false where the platform cannot do that alone.
    bool hang_up();
#if defined(_WIN32)
    // After a hang-up: a new line behind both ports under the same names, as a phone that
    // comes back, for a new serial_peer to open. False without the driver's control. (On POSIX
    // a new serial_peer is a new line already.)
    static bool bring_line_back();
#endif
    // False where the system lets a second program open a port that is in use (Wine's COM
    // ports).
    bool ports_are_exclusive() const;

  private:
    struct line;
    std::unique_ptr<line> line_;
    std::string port_name_;
    std::string reason_;
};

}  // namespace tessel::test
