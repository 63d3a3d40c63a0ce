// The mode loops on the AesNiVaes512 backend, compiled for its instructions.
#include "aes/aesni/vaes512.hpp"

#if DALLOWGATE_X86

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"
#include "modes/loops.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(VAES512_FEATURES)
#include "modes/loop_definitions.hpp"

namespace dallowgate {

DALLOWGATE_DEFINE_MODE_LOOPS(AesNiVaes512)

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
