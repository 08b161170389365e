// tessel-phone: the phone's side of the remote-control protocol on the command line.

#include <iostream>

#include "support/string8.h"
#include "tools/phone/command_line.h"
#include "tools/phone/console.h"
#include "tools/phone/interactive.h"
#include "tools/phone/progress_line.h"
#include "transport/bluetooth_connection.h"
#include "transport/serial_port_list.h"

int main(int argc, char** argv) {
    using namespace tessel::phone;
    prepare_console();
    const std::vector<std::string> args = utf8_arguments(argc, argv);
    const parsed_options parsed = parse_options(args);
    if (!parsed.options) {
        std::cerr << "tessel-phone: " << parsed.error << "\nRun tessel-phone --help for usage.\n";
        return exit_usage;
    }
    const tool_options& options = *parsed.options;
    if (options.help) {
        std::cout << usage_text();
        return exit_ok;
    }
    if (options.list_ports) {
        const std::vector<tessel::listed_port> ports = tessel::list_serial_ports();
        for (const tessel::listed_port& found : ports) {
            std::cout << found.description << "\n";
        }
        if (ports.empty()) {
            std::cerr << "tessel-phone: no serial port was found\n";
        }
        return exit_ok;
    }
    const plan planned = plan_commands(options.command_words);
    if (!planned.error.empty()) {
        std::cerr << "tessel-phone: " << planned.error << "\n";
        return exit_usage;
    }

    tessel::bluetooth_connection port;
    port.set_port_name(tessel::string8(options.port));
    if (!port.open()) {
        std::cerr << "tessel-phone: cannot open the port " << options.port << "\n"
                  << tessel::ports_after_failed_open(tessel::list_serial_ports(), options.port)
                  << "\n";
        return exit_port;
    }
    // Bytes from before this run would be taken for the first reply.
    if (const std::size_t stale = port.input_waiting(); stale != 0) {
        std::cerr << "tessel-phone: dropped " << stale << " bytes already waiting on the line\n";
    }
    port.discard_input();
    phone_session session(
        port, options.session, [&port] { return port.has_failed(); },
        [&port] { return port.input_waiting(); });
    progress_line progress(std::cerr, terminal_columns);
    if (error_is_terminal()) {
        session.set_progress(&progress);
    }
    if (planned.commands.empty()) {
        return run_interactive(session, options, read_input_line, input_is_terminal(), std::cout,
                               std::cerr);
    }
    return run_commands(session, planned.commands, options, std::cout, std::cerr, true);
}
