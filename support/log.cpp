#include "support/log.h"

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "support/host_access.h"
#include "support/string8.h"

namespace tessel {

namespace {

void write_line(const scratch_string8& line) {
    if (!host().services_available.load()) {
        return;
    }
    for_each_service<corvina::console>(corvina::class_guids::console, [&](corvina::console& out) {
        out.print(line.c_str(), corvina::whole_text);
    });
}

}  // namespace

// Logging must never fail its caller: a line that cannot be built or written is dropped.
void log_info(std::string_view text) {
    try {
        write_line(scratch_string8(text));
    } catch (...) {
    }
}

void log_info(std::string_view head, std::string_view tail) {
    try {
        scratch_string8 line(head);
        line += tail;
        write_line(line);
    } catch (...) {
    }
}

void log_error(std::string_view text) {
    try {
        scratch_string8 line("ERROR : ");
        line += text;
        if (!line.is_empty()) {
            write_line(line);
        }
    } catch (...) {
    }
}

}  // namespace tessel
