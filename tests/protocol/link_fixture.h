#pragma once
// A phone_link over an in-memory connection and a recording control, with a fake player whose
// console keeps every line.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "memory_connection.h"
#include "protocol/command_code.h"
#include "protocol/phone_link.h"
#include "recording_control.h"
#include "tests/common/fake_host.h"

namespace tessel::test {

class link_fixture : public ::testing::Test {
  protected:
    link_fixture() {
        player_.add_service(corvina::class_guids::console, console_);
        auto owned = std::make_unique<memory_connection>();
        wire_ = owned.get();
        link_ = std::make_unique<phone_link>(std::move(owned), control_);
    }

    // Runs one command with these argument bytes waiting on the wire.
    void run(command_code code, const std::string& arguments = std::string()) {
        wire_->feed(arguments);
        link_->process_command(code);
    }

    // What reached the wire, once every reply handed over so far is written.
    std::string sent() {
        link_->replies().drain();
        return wire_->written();
    }
    std::vector<memory_connection::recorded_write> writes() {
        link_->replies().drain();
        return wire_->writes();
    }

    fake_host player_;
    recording_console console_;
    host_guard guard_{player_};
    recording_control control_;
    memory_connection* wire_ = nullptr;
    std::unique_ptr<phone_link> link_;
};

}  // namespace tessel::test
