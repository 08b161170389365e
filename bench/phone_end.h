#pragma once
// The phone's end of a pseudo-terminal for the benchmarks that run the real link: the link
// opens the other end by its path.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace tessel::bench {

class phone_end {
  public:
    phone_end();
    ~phone_end();
    phone_end(const phone_end&) = delete;
    phone_end& operator=(const phone_end&) = delete;

    bool usable() const { return fd_ >= 0; }
    std::string port_path() const;

    bool send(std::string_view bytes);

    // Waits for exactly count bytes; false when they do not all come within the limit.
    bool receive(std::size_t count, std::chrono::milliseconds limit);

    // Whatever came within the limit, at most count bytes.
    std::string receive_some(std::size_t count, std::chrono::milliseconds limit);

  private:
    int fd_ = -1;
};

}  // namespace tessel::bench
