// Internal faults: broken invariants inside the module. They unwind to the call frame, which
// raises them as PanicException; no input a caller can pass produces one. No Python here.
#pragma once

#include <source_location>
#include <string>

namespace dallowgate {

class InternalFault {
public:
    InternalFault(std::string message, std::source_location where)
        : message_(std::move(message)), where_(where) {}
    const std::string& message() const { return message_; }
    const std::source_location& where() const { return where_; }

private:
    std::string message_;
    std::source_location where_;
};

[[noreturn]] inline void internal_fault(
    std::string message, std::source_location where = std::source_location::current()) {
    throw InternalFault(std::move(message), where);
}

}  // namespace dallowgate
