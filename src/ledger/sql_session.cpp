#include "ledger/sql_session.h"

#include <charconv>

namespace bw::ledger {

SqlValue Nullable(const std::optional<std::int64_t>& value) {
    if (value) return *value;
    return std::monostate{};
}

SqlValue Nullable(const std::optional<std::string>& value) {
    if (value) return *value;
    return std::monostate{};
}

bool SqlRow::isNull(std::size_t i) const {
    return std::holds_alternative<std::monostate>(values_.at(i));
}

std::int64_t SqlRow::integer(std::size_t i) const {
    const SqlValue& v = values_.at(i);
    if (const auto* n = std::get_if<std::int64_t>(&v)) return *n;
    if (const auto* s = std::get_if<std::string>(&v)) {
        // PostgreSQL returns every value as text.
        std::int64_t n = 0;
        std::from_chars(s->data(), s->data() + s->size(), n);
        return n;
    }
    return 0;
}

std::string SqlRow::text(std::size_t i) const {
    const SqlValue& v = values_.at(i);
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
    return {};
}

std::optional<std::int64_t> SqlRow::optionalInteger(std::size_t i) const {
    if (isNull(i)) return std::nullopt;
    return integer(i);
}

std::optional<std::string> SqlRow::optionalText(std::size_t i) const {
    if (isNull(i)) return std::nullopt;
    return text(i);
}

}  // namespace bw::ledger
