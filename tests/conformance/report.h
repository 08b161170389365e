#pragma once
// The conformance host's verdicts: one "ok:" or "FAIL:" line per check, and a closing count.

#include "corvina/guid.h"

namespace conformance {

// Prints "ok: what" or "FAIL: what"; counts the verdict.
bool check(bool passed, const char* what);
// As check, and on a mismatch also prints both texts.
bool check_text(const char* what, const char* got, const char* want);
bool check_guid(const char* what, const corvina::guid& got, const corvina::guid& want);
// A fault the player's side noticed while the component called it.
void report_fault(const char* what);

// Prints "N passed, N failed"; the process exit code: 0 when nothing failed.
unsigned int finish_report();

}  // namespace conformance
