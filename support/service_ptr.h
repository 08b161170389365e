#pragma once
// Holder of one reference to a reference-counted service object.

#include <utility>

#include "corvina/service.h"

namespace tessel {

template <class T>
class service_ptr {
  public:
    service_ptr() = default;
    explicit service_ptr(T* object) : object_(object) { add_ref(); }
    service_ptr(const service_ptr& other) : object_(other.object_) { add_ref(); }
    service_ptr(service_ptr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ~service_ptr() { reset(); }

    service_ptr& operator=(const service_ptr& other) {
        service_ptr copy(other);
        swap(copy);
        return *this;
    }
    service_ptr& operator=(service_ptr&& other) noexcept {
        service_ptr moved(std::move(other));
        swap(moved);
        return *this;
    }

    void reset() {
        if (object_ != nullptr) {
            std::exchange(object_, nullptr)->service_release();
        }
    }

    // Takes over a reference the caller already owns (an out parameter's result).
    void attach(T* object) {
        reset();
        object_ = object;
    }

    // For out parameters of the player's interfaces: empties the holder and lends its slot;
    // the callee stores an object with one reference that this holder then owns.
    T*& receive() {
        reset();
        return object_;
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

    void swap(service_ptr& other) noexcept { std::swap(object_, other.object_); }

  private:
    void add_ref() {
        if (object_ != nullptr) {
            object_->service_add_ref();
        }
    }

    T* object_ = nullptr;
};

}  // namespace tessel
