#include "tests/conformance/text.h"

#include "tests/conformance/win32.h"

namespace conformance {

std::size_t text_length(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

bool same_text(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

bool starts_with(const char* text, const char* prefix) {
    while (*prefix != '\0') {
        if (*text++ != *prefix++) {
            return false;
        }
    }
    return true;
}

void text::add_string(const char* more, std::size_t count) {
    for (std::size_t i = 0; i < count && more[i] != '\0' && length_ + 1 < capacity; ++i) {
        data_[length_++] = more[i];
    }
    data_[length_] = '\0';
}

void text::set_string(const char* value, std::size_t count) {
    truncate(0);
    add_string(value, count);
}

void text::truncate(std::size_t length) {
    if (length < length_) {
        length_ = length;
        data_[length_] = '\0';
    }
}

char* text::lock_buffer(std::size_t size) {
    return size < capacity ? data_ : nullptr;
}

void text::unlock_buffer() {
    data_[capacity - 1] = '\0';
    length_ = text_length(data_);
}

text& text::operator<<(const char* more) {
    add_string(more);
    return *this;
}

text& text::operator<<(std::uint32_t number) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    while (count > 0) {
        add_string(&digits[--count], 1);
    }
    return *this;
}

namespace {

void add_hex(text& out, std::uint32_t value, int digits) {
    static constexpr char hex[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out.add_string(&hex[(value >> shift) & 0xF], 1);
    }
}

}  // namespace

text& text::operator<<(const corvina::guid& id) {
    add_hex(*this, id.data1, 8);
    add_string("-");
    add_hex(*this, id.data2, 4);
    add_string("-");
    add_hex(*this, id.data3, 4);
    add_string("-");
    for (int i = 0; i < 8; ++i) {
        if (i == 2) {
            add_string("-");
        }
        add_hex(*this, id.data4[i], 2);
    }
    return *this;
}

void print_line(const char* line) {
    void* out = GetStdHandle(win32::std_output_handle);
    unsigned long written = 0;
    WriteFile(out, line, static_cast<unsigned long>(text_length(line)), &written, nullptr);
    WriteFile(out, "\n", 1, &written, nullptr);
}

}  // namespace conformance
