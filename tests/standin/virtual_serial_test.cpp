// The virtual serial cable carries bytes both ways, unchanged, between its two ends.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "standin/player/virtual_serial.h"

namespace {

// Reads until count bytes came or nothing came for a (generous) while.
std::string read_some(int fd, std::size_t count) {
    std::string got;
    char buffer[256];
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) {
            break;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace

TEST(VirtualSerialCable, CarriesBytesBothWaysUnchanged) {
    standin::virtual_serial_cable cable;
    ASSERT_NE(cable.phone_end(), cable.player_end());
    const int phone = open(cable.phone_end().c_str(), O_RDWR | O_NOCTTY);
    const int player = open(cable.player_end().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(phone, 0);
    ASSERT_GE(player, 0);

    // Bytes a terminal would translate or swallow in its default mode.
    const std::string request("SEEK\x00\x00\x01\x2C\r\n\x03\x7F", 12);
    ASSERT_EQ(write(phone, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    EXPECT_EQ(read_some(player, request.size()), request);

    const std::string reply("INFOACK\x01\r\x00\xFF", 11);
    ASSERT_EQ(write(player, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    EXPECT_EQ(read_some(phone, reply.size()), reply);

    close(phone);
    close(player);
}
