#pragma once
// Building blocks of the services this component offers the player: the process-wide factory
// chain, services that live as long as the module, and the factories that hand them out.

#include "corvina/class_guids.h"
#include "corvina/service.h"

namespace tessel {

// The class GUID each offered interface answers to.
template <class Interface>
struct class_guid_of;
template <>
struct class_guid_of<corvina::initquit> {
    static constexpr const corvina::guid& value = corvina::class_guids::initquit;
};
template <>
struct class_guid_of<corvina::preferences_page> {
    static constexpr const corvina::guid& value = corvina::class_guids::preferences_page;
};
template <>
struct class_guid_of<corvina::componentversion> {
    static constexpr const corvina::guid& value = corvina::class_guids::componentversion;
};

// Head of the factory chain the player walks; null until the first factory is constructed.
corvina::service_factory_base*& factory_chain_head();

// Hands self to a query out parameter the way every service does: the new reference is taken
// before the old one is released, so out may already hold self.
inline void store_service(corvina::service_base*& out, corvina::service_base* self) {
    self->service_add_ref();
    if (out != nullptr) {
        out->service_release();
    }
    out = self;
}

// A service embedded in its factory: it lives as long as the module, so reference counting is
// a formality and nothing is ever freed.
template <class Interface>
class single_instance_service : public Interface {
  public:
    int service_release() override { return 1; }
    int service_add_ref() override { return 1; }
    bool service_query(corvina::service_base*& out, const corvina::guid& cls) override {
        if (!(cls == class_guid_of<Interface>::value)) {
            return false;
        }
        store_service(out, this);
        return true;
    }

    using interface_type = Interface;

  protected:
    single_instance_service() = default;
    ~single_instance_service() = default;
};

// A factory that embeds its one service and links itself in front of the chain when
// constructed.
template <class Service>
class service_factory_single_t : public corvina::service_factory_base {
  public:
    template <class... Args>
    explicit service_factory_single_t(Args&&... args)
        : corvina::service_factory_base(class_guid_of<typename Service::interface_type>::value,
                                        factory_chain_head()),
          service_(static_cast<Args&&>(args)...) {
        factory_chain_head() = this;
    }
    service_factory_single_t(const service_factory_single_t&) = delete;
    service_factory_single_t& operator=(const service_factory_single_t&) = delete;

    void instance_create(corvina::service_base*& out) override { store_service(out, &service_); }

    Service& get_static_instance() { return service_; }

  private:
    Service service_;
};

}  // namespace tessel
