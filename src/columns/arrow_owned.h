// Owners for the structs of the Arrow C interfaces. Taking a struct moves it
// as the interface prescribes: the owner copies it and marks the source
// released (release set to null), so exactly one place ever calls release.
#pragma once

#include <utility>

#include "columns/arrow_abi.h"

namespace vexlo {

template <class Struct>
class ArrowOwner {
public:
    ArrowOwner() noexcept { value_.release = nullptr; }
    // Takes `source`, which is left released. A released source makes an
    // empty owner.
    explicit ArrowOwner(Struct* source) noexcept : value_(*source) { source->release = nullptr; }
    ArrowOwner(ArrowOwner&& other) noexcept : ArrowOwner(other.get()) {}
    // What was held goes to `other`, which releases it when it goes.
    ArrowOwner& operator=(ArrowOwner&& other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    ArrowOwner(const ArrowOwner&) = delete;
    ArrowOwner& operator=(const ArrowOwner&) = delete;
    ~ArrowOwner() { reset(); }

    // Releases what is held, if anything; the owner is empty afterwards.
    void reset() noexcept {
        if (value_.release != nullptr) {
            Struct held = value_;
            value_.release = nullptr;
            held.release(&held);
        }
    }
    // Moves the held struct out to `target` (which must be released or
    // uninitialised); the owner is empty afterwards.
    void move_to(Struct* target) noexcept {
        *target = value_;
        value_.release = nullptr;
    }

    bool empty() const noexcept { return value_.release == nullptr; }
    Struct* get() noexcept { return &value_; }
    Struct& operator*() noexcept { return value_; }
    Struct* operator->() noexcept { return &value_; }

private:
    Struct value_;
};

using OwnedSchema = ArrowOwner<ArrowSchema>;
using OwnedArray = ArrowOwner<ArrowArray>;
using OwnedStream = ArrowOwner<ArrowArrayStream>;

}  // namespace vexlo
