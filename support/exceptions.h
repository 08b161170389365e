#pragma once
// The component's exception types. Each carries a fixed text; they are thrown by value and
// caught by reference.

#include <exception>

namespace tessel {

class exception_bug_check : public std::exception {
  public:
    const char* what() const noexcept override { return "Bug check"; }
};

class exception_overflow : public std::exception {
  public:
    const char* what() const noexcept override { return "Overflow"; }
};

class exception_service_not_found : public std::exception {
  public:
    const char* what() const noexcept override { return "Service not found"; }
};

class exception_service_duplicated : public std::exception {
  public:
    const char* what() const noexcept override { return "Service duplicated"; }
};

// Input and output failures.
class exception_io : public std::exception {
  public:
    const char* what() const noexcept override { return "I/O error"; }
};

// Data that does not have the expected format.
class exception_io_data : public exception_io {
  public:
    const char* what() const noexcept override { return "Unsupported format or corrupted file"; }
};

class exception_io_data_truncation : public exception_io_data {
  public:
    const char* what() const noexcept override { return "Unsupported format or corrupted file"; }
};

}  // namespace tessel
