#pragma once
// A virtual serial cable on POSIX: two pseudo-terminals whose far ends are joined by a relay
// thread. The phone side opens one end's path, the component the other's. On POSIX the
// component's end is named in CORVINA_STANDIN_SERIAL_PORTS, where the component's list of
// serial ports finds it.

#include <memory>
#include <string>

namespace standin {

class virtual_serial_cable {
  public:
    // Throws std::runtime_error with a readable text when the platform or the system cannot
    // make one (Windows has no pseudo-terminals here).
    virtual_serial_cable();
    ~virtual_serial_cable();  // stops the relay and closes both ends
    virtual_serial_cable(const virtual_serial_cable&) = delete;
    virtual_serial_cable& operator=(const virtual_serial_cable&) = delete;

    const std::string& phone_end() const { return phone_end_; }
    const std::string& player_end() const { return player_end_; }

  private:
    struct relay;
    std::unique_ptr<relay> relay_;
    std::string phone_end_;
    std::string player_end_;
};

}  // namespace standin
