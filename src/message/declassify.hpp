// Marks a secret-derived value as public where the design makes it so: whether a message's
// msg_key matched is the call's outcome. Only the constant-time check's build does anything
// here (it tells valgrind that branching on the value is intended); elsewhere it is empty.
#pragma once

#if DALLOWGATE_CT_CHECK
#include <valgrind/memcheck.h>
#endif

namespace dallowgate {

template <class T>
void declassify(const T& value) {
#if DALLOWGATE_CT_CHECK
    VALGRIND_MAKE_MEM_DEFINED(&value, sizeof value);
#else
    (void)value;
#endif
}

}  // namespace dallowgate
