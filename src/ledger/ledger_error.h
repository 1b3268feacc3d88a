#pragma once
// The one exception the ledger throws. Its message is the whole sentence the command
// line prints; its kind tells a caller what it may do next.

#include <stdexcept>
#include <string>

namespace bw::ledger {

enum class LedgerErrorKind {
    // The ledger is sound but cannot be used now: the file is locked past the busy
    // timeout, the server is down or went away, the disk is full. A running station stops
    // taking new mice and keeps the result in hand until it can be recorded.
    Unavailable,
    // What was named is not a ledger this program can use: not a database, another
    // program's database, a schema from a newer version, a damaged file. Retrying is useless.
    Invalid,
    // The ledger refuses the request by its rules: a number already written, the range of a
    // product type exhausted, a reservation that another process has changed.
    Refused,
};

class LedgerError : public std::runtime_error {
  public:
    LedgerError(LedgerErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    LedgerErrorKind kind() const { return kind_; }

  private:
    LedgerErrorKind kind_;
};

}  // namespace bw::ledger
