#pragma once
// Asked by a write just before the factory record goes out to the mouse. A production
// ledger marks the record's number as being sent here, so that after a crash it knows the
// mouse may hold it. Refusing keeps the record from the mouse, and the write fails.

#include <string>

#include "image/write_params.h"

namespace bw {

class FactoryRecordGate {
  public:
    virtual ~FactoryRecordGate() = default;
    // True: send the record. False: the record stays unsent and the write fails.
    virtual bool recordMayGo(const FactoryFields& fields) = 0;
    // Why the last refusal happened, for the write's reason; empty when not known.
    virtual std::string whyHeld() const { return {}; }
};

}  // namespace bw
