// On POSIX the port goes raw but keeps the line settings the system gave it.

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "transport/bluetooth_connection.h"

namespace tessel {
namespace {

class pty_master {
  public:
    pty_master() : fd_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char path[128];
        if (fd_ >= 0 && grantpt(fd_) == 0 && unlockpt(fd_) == 0 &&
            ptsname_r(fd_, path, sizeof path) == 0) {
            far_end_ = path;
        }
    }
    ~pty_master() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int fd() const { return fd_; }
    const std::string& far_end() const { return far_end_; }

  private:
    int fd_;
    std::string far_end_;
};

TEST(serial_line_settings, raw_mode_keeps_speed_stop_bits_and_flow_control) {
    pty_master line;
    ASSERT_FALSE(line.far_end().empty());
    termios before{};
    ASSERT_EQ(tcgetattr(line.fd(), &before), 0);
    cfsetispeed(&before, B9600);
    cfsetospeed(&before, B9600);
    // A pseudo-terminal always reports 8 bits without parity: stop bits and flow control
    // are what it keeps.
    before.c_cflag |= CSTOPB | CRTSCTS;
    before.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(tcsetattr(line.fd(), TCSANOW, &before), 0);

    bluetooth_connection port;
    port.set_port_name(string8(line.far_end()));
    ASSERT_TRUE(port.open());

    termios after{};
    ASSERT_EQ(tcgetattr(line.fd(), &after), 0);
    EXPECT_EQ(cfgetispeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(after.c_cflag & (CSTOPB | CRTSCTS), static_cast<tcflag_t>(CSTOPB | CRTSCTS));
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u) << "no line editing or echo";
    EXPECT_EQ(after.c_oflag & OPOST, 0u) << "no output translation";
    EXPECT_EQ(after.c_iflag & (ICRNL | IXON | ISTRIP), 0u) << "no input translation";
}

}  // namespace
}  // namespace tessel
