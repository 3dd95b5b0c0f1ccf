// Extra interfaces of host objects, found by identifier: an object that has
// one returns it from GetInterface, any other returns nullptr.
#pragma once

#include "host/max_types.h"

class Interface_ID {
  public:
    constexpr Interface_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr bool operator==(const Interface_ID&) const = default;

  private:
    ULONG a_, b_;
};

class BaseInterface {
  public:
    virtual ~BaseInterface() = default;
};
