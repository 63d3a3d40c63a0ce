// The mode loops on the Armv8Aes backend, compiled for its instructions.
#include "aes/armv8/armv8.hpp"

#if DALLOWGATE_AARCH64

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"
#include "modes/loops.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(ARM_AES_FEATURES)
#include "modes/loop_definitions.hpp"

namespace dallowgate {

DALLOWGATE_DEFINE_MODE_LOOPS(Armv8Aes)

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
