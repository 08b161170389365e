#include "tests/conformance/report.h"

#include "tests/conformance/text.h"

namespace conformance {

namespace {

std::uint32_t passed_count;
std::uint32_t failed_count;

}  // namespace

bool check(bool passed, const char* what) {
    text line(passed ? "ok: " : "FAIL: ");
    line << what;
    print_line(line.get_ptr());
    ++(passed ? passed_count : failed_count);
    return passed;
}

bool check_text(const char* what, const char* got, const char* want) {
    const bool passed = got != nullptr && same_text(got, want);
    if (!check(passed, what)) {
        text detail("    got \"");
        detail << (got != nullptr ? got : "(null)") << "\", want \"" << want << "\"";
        print_line(detail.get_ptr());
    }
    return passed;
}

bool check_guid(const char* what, const corvina::guid& got, const corvina::guid& want) {
    const bool passed = got == want;
    if (!check(passed, what)) {
        text detail("    got ");
        detail << got << ", want " << want;
        print_line(detail.get_ptr());
    }
    return passed;
}

void report_fault(const char* what) {
    check(false, what);
}

unsigned int finish_report() {
    text line;
    line << passed_count << " passed, " << failed_count << " failed";
    print_line(line.get_ptr());
    return failed_count == 0 ? 0 : 1;
}

}  // namespace conformance
