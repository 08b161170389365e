#pragma once
// Reference counting for the player's service objects: objects the player makes on demand
// (tracks, compiled scripts) are freed when their last reference goes; the player's own
// services live as long as the player and only count nominally.

#include <atomic>
#include <utility>

#include "corvina/service.h"
#include "support/service_ptr.h"

namespace standin {

using tessel::service_ptr;

// Answers a query for one class GUID by handing out the object with one more reference.
inline bool answer_query(corvina::service_base& self, corvina::service_base*& out,
                         const corvina::guid& wanted, const corvina::guid& own) {
    if (!(wanted == own)) {
        return false;
    }
    if (out != nullptr) {
        out->service_release();
    }
    out = &self;
    self.service_add_ref();
    return true;
}

// Made with no reference; freed when the count returns to zero. Create with make_counted.
template <class Interface>
class refcounted : public Interface {
  public:
    refcounted(const refcounted&) = delete;
    refcounted& operator=(const refcounted&) = delete;

    int service_release() override {
        const int left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    int service_add_ref() override { return ++references_; }
    bool service_query(corvina::service_base*& out, const corvina::guid& cls) override {
        return answer_query(*this, out, cls, query_guid());
    }

  protected:
    refcounted() = default;
    virtual ~refcounted() = default;
    // The one GUID a query answers to.
    virtual const corvina::guid& query_guid() const = 0;

  private:
    std::atomic<int> references_{0};
};

template <class T, class... Args>
service_ptr<T> make_counted(Args&&... args) {
    return service_ptr<T>(new T(std::forward<Args>(args)...));
}

// One of the player's own services: lives as long as the player; release never frees it.
template <class Interface>
class player_service : public Interface {
  public:
    explicit player_service(const corvina::guid& cls) : class_guid_(cls) {}
    player_service(const player_service&) = delete;
    player_service& operator=(const player_service&) = delete;

    int service_release() override { return 1; }
    int service_add_ref() override { return 1; }
    bool service_query(corvina::service_base*& out, const corvina::guid& cls) override {
        return answer_query(*this, out, cls, class_guid_);
    }

  protected:
    ~player_service() = default;

  private:
    corvina::guid class_guid_;
};

}  // namespace standin
