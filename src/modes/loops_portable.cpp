// The mode loops on the backends without instructions of their own (libcrypto, the bitsliced
// AES), compiled for the baseline of the architecture.
#include "modes/loops.hpp"

#include "aes/bitsliced.hpp"
#include "aes/libcrypto.hpp"
#include "modes/loop_definitions.hpp"

namespace dallowgate {

DALLOWGATE_DEFINE_MODE_LOOPS(LibcryptoAes)
DALLOWGATE_DEFINE_MODE_LOOPS(BitslicedAes)

}  // namespace dallowgate
