// The serial ports of the PC as the page and the console describe them: read through the
// table a test fills (two phones and a USB adapter), and from the system itself.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/common/sample_ports.h"
#include "transport/serial_port_list.h"

namespace tessel {
namespace {

using strings = std::vector<std::string>;

strings descriptions(const std::vector<listed_port>& ports) {
    strings out;
    for (const listed_port& port : ports) {
        out.push_back(port.description);
    }
    return out;
}

TEST(serial_port_list, outgoing_phone_ports_come_first_with_the_phones_names) {
    test::sample_ports pc;
    const std::vector<listed_port> ports = list_serial_ports();

    EXPECT_EQ(descriptions(ports), test::sample_ports::descriptions());
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[0].port, "COM5");
    EXPECT_EQ(ports[0].kind, port_kind::bluetooth_outgoing);
    EXPECT_EQ(ports[2].kind, port_kind::other);
    EXPECT_EQ(ports[3].kind, port_kind::bluetooth_incoming);
    EXPECT_EQ(pc.paired_questions, 1);

    // A phone the Bluetooth API does not name is shown by its address; with no outgoing
    // Bluetooth port the paired devices are not asked for at all.
    pc.paired.clear();
    EXPECT_EQ(list_serial_ports()[0].description, "COM5 - 0C:8B:FD:12:34:56, Bluetooth outgoing");
    pc.ports.erase(pc.ports.begin() + 1);
    pc.ports.erase(pc.ports.begin() + 2);
    EXPECT_EQ(descriptions(list_serial_ports()),
              (strings{"COM3 - USB Serial Port", "COM6 - Bluetooth incoming"}));
    EXPECT_EQ(pc.paired_questions, 2);
}

TEST(serial_port_list, the_console_names_the_ports_after_a_failed_open) {
    test::sample_ports pc;
    const std::vector<listed_port> ports = list_serial_ports();
    const std::string listed =
        "Serial ports: COM5 - Pixel 7, Bluetooth outgoing; COM12 - Galaxy S21, Bluetooth "
        "outgoing; COM3 - USB Serial Port; COM6 - Bluetooth incoming";

    EXPECT_EQ(ports_after_failed_open(ports, "COM6"), listed);
    EXPECT_EQ(ports_after_failed_open(ports, "COM9"),
              "COM9 is not a serial port of this computer. " + listed);
    EXPECT_EQ(ports_after_failed_open(ports, ""), "No serial port is set. " + listed);
    EXPECT_EQ(ports_after_failed_open({}, "COM5"),
              "COM5 is not a serial port of this computer. No serial port was found.");
#if defined(_WIN32)
    EXPECT_TRUE(names_listed_port(ports, "com12"));
#else
    EXPECT_FALSE(names_listed_port(ports, "com12"));
#endif
}

TEST(serial_port_list, a_bluetooth_port_carries_its_remote_address_in_its_instance_path) {
    EXPECT_EQ(bluetooth_address_of("BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\"
                                   "7&2B1D9C05&0&0C8BFD123456_C00000000"),
              0x0C8BFD123456);
    EXPECT_EQ(bluetooth_address_of("bthenum\\{00001101-0000-1000-8000-00805f9b34fb}_localmfg&0000\\"
                                   "7&2b1d9c05&0&000000000000_00000000"),
              0);
    for (const char* other : {"FTDIBUS\\VID_0403+PID_6001+A6008ISPA\\0000", "ACPI\\PNP0501\\1",
                              "BTHENUM\\X\\7&2B1D9C05&0&0C8BFD12345_C00000000",
                              "BTHENUM\\X\\7&2B1D9C05&0&0C8BFD12345G_C00000000", "BTHENUM\\", ""}) {
        EXPECT_EQ(bluetooth_address_of(other), -1) << other;
    }
}

// Whatever the system holds (under Wine: the ports of its registry): each port once, each
// item starting with its port. Printed, to be looked at.
TEST(serial_port_list, the_systems_own_ports_are_listed_without_opening_them) {
    std::set<std::string> seen;
    for (const listed_port& port : list_serial_ports()) {
        std::printf("  %s\n", port.description.c_str());
        EXPECT_EQ(port.description.rfind(port.port + " - ", 0), 0u) << port.description;
        EXPECT_TRUE(seen.insert(port.port).second) << port.port;
    }
}

}  // namespace
}  // namespace tessel
