#pragma once
// The player's service framework as seen by a component: reference-counted service objects
// found by class GUID through the host API object, the factory chain a component offers, the
// component entry object and its entry point, and the configuration streams.
//
// Every class here is an interface whose virtual operations stand in a fixed slot order that
// the player and the component share. Out parameters of pointer type follow one rule: the
// callee releases what the pointer held, stores the new object and adds one reference to it.
//
// The player is built with Microsoft's compiler, the component may not be: every interface of
// the player's API keeps to what both C++ ABIs lay out and call alike.
// - No virtual operation returns an aggregate (a guid) by value: the hidden return pointer goes
//   before `this` in one ABI and after it in the other. Such a slot is written out the MSVC way,
//   `virtual guid* get_guid(guid* out)` answering out, with an inline by-value helper beside it.
// - No overloaded virtual operations (the MSVC ABI orders them differently in the table) and no
//   virtual destructors (one slot in the MSVC ABI, two in the Itanium ABI): nothing is ever
//   deleted through these types.
// - No C++ exception crosses the boundary, either way: the two sides unwind differently.
// The test api_abi_rules checks the first two over every header of this folder; the conformance
// host, built for the MSVC ABI, calls the slots across a real module boundary.

#include <cstddef>
#include <cstdint>

#include "guid.h"
#include "platform_types.h"
#include "string_receiver.h"

namespace corvina {

class service_base {
  public:
    virtual int service_release() = 0;                                    // slot 0
    virtual int service_add_ref() = 0;                                    // slot 1
    virtual bool service_query(service_base*& out, const guid& cls) = 0;  // slot 2

  protected:
    ~service_base() = default;
};

// A node of the factory chain a component offers: the link to the next factory and the GUID of
// the service class the factory makes.
class service_factory_base {
  public:
    service_factory_base* next() const { return next_; }
    const guid& class_guid() const { return *class_guid_; }

    virtual void instance_create(service_base*& out) = 0;  // slot 0

  protected:
    service_factory_base(const guid& cls, service_factory_base* next)
        : next_(next), class_guid_(&cls) {}
    ~service_factory_base() = default;

  private:
    service_factory_base* next_;
    const guid* class_guid_;
};

// The player's side of the framework, handed to the entry point.
class host_api {
  public:
    using class_handle = const void*;

    virtual class_handle find_class(const guid& cls) = 0;  // slot 0
    virtual bool create_instance(service_base*& out, class_handle cls,
                                 std::size_t index) = 0;       // slot 1
    virtual std::size_t instance_count(class_handle cls) = 0;  // slot 2
    virtual window_handle main_window() = 0;                   // slot 3
    virtual bool is_main_thread() = 0;                         // slot 4

  protected:
    ~host_api() = default;
};

// Handed on unchanged with every configuration stream; components never look at it.
class abort_signal {
  public:
    virtual bool is_aborting() const = 0;  // slot 0

  protected:
    ~abort_signal() = default;
};

// The player's configuration reader. read_exactly and skip_exactly throw the player's own
// exception when the stream ends early: a component uses read and skip, which do not.
class config_reader {
  public:
    virtual std::size_t read(void* buffer, std::size_t count, abort_signal& abort) = 0;   // slot 0
    virtual void read_exactly(void* buffer, std::size_t count, abort_signal& abort) = 0;  // slot 1
    virtual std::uint64_t skip(std::uint64_t count, abort_signal& abort) = 0;             // slot 2
    virtual void skip_exactly(std::uint64_t count, abort_signal& abort) = 0;              // slot 3

  protected:
    ~config_reader() = default;
};

class config_writer {
  public:
    virtual void write(const void* buffer, std::size_t count, abort_signal& abort) = 0;  // slot 0

  protected:
    ~config_writer() = default;
};

// The object a component's entry point returns.
class component_entry {
  public:
    virtual std::uint32_t interface_version() = 0;                                 // slot 0
    virtual service_factory_base* first_factory() = 0;                             // slot 1
    virtual void save_configuration(config_writer& out, abort_signal& abort) = 0;  // slot 2
    virtual void load_configuration(config_reader& in, abort_signal& abort) = 0;   // slot 3
    virtual void set_paths(const char* path_a, const char* component_file) = 0;    // slot 4
    virtual void set_services_available(bool available) = 0;                       // slot 5
    virtual bool reserved_flag() = 0;                                              // slot 6

  protected:
    ~component_entry() = default;
};

inline constexpr std::uint32_t component_interface_version = 72;

// Exported by every component module without name decoration.
using get_interface_function = component_entry* (*)(host_api* api, module_handle instance);
inline constexpr const char* entry_point_name = "corvina_get_interface";

// --- Services a component offers -------------------------------------------------------------

// Start-up and shut-down hooks, class {113773C4-B387-4B48-8BDF-AB58BC6CE538}.
class initquit : public service_base {
  public:
    virtual void on_startup() = 0;   // slot 3
    virtual void on_shutdown() = 0;  // slot 4

  protected:
    ~initquit() = default;
};

// A page of the player's preferences window, class {7255E8D0-3FCF-4781-B93B-D06CB88DFAFA}.
class preferences_page : public service_base {
  public:
    virtual window_handle create(window_handle parent) = 0;  // slot 3
    virtual const char* get_name() = 0;                      // slot 4
    virtual guid* get_guid(guid* out) = 0;                   // slot 5: stores and answers out
    virtual guid* get_parent_guid(guid* out) = 0;            // slot 6: stores and answers out
    virtual bool supports_reset() = 0;                       // slot 7
    virtual void reset() = 0;                                // slot 8
    virtual bool get_help_url(string_base& out) = 0;         // slot 9

    guid guid_value() {
        guid id;
        return *get_guid(&id);
    }
    guid parent_guid_value() {
        guid id;
        return *get_parent_guid(&id);
    }

  protected:
    ~preferences_page() = default;
};

// The record shown in the player's component list, class {10BB3EBD-DDF7-4975-A3CC-23084829453E}.
class componentversion : public service_base {
  public:
    virtual void get_file_name(string_base& out) = 0;          // slot 3
    virtual void get_component_name(string_base& out) = 0;     // slot 4
    virtual void get_component_version(string_base& out) = 0;  // slot 5
    virtual void get_about_message(string_base& out) = 0;      // slot 6

  protected:
    ~componentversion() = default;
};

}  // namespace corvina

#ifdef _WIN32
#define CORVINA_EXPORT extern "C" __declspec(dllexport)
#else
#define CORVINA_EXPORT extern "C" __attribute__((visibility("default")))
#endif
