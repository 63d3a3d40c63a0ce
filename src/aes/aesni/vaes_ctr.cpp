// The VAES CTR keystream: sixteen counter blocks per batch on 256-bit registers, the batch whose
// counters carry into the high half formed one block at a time.
#include "aes/aesni/vaes.hpp"

#if DALLOWGATE_X86

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(VAES_FEATURES)
#include "aes/keystream.hpp"

namespace dallowgate {

void AesNiVaes::xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                              std::uint8_t* out, std::size_t batches) const {
    xor_keystream_batches(*this, high, low, in, out, batches);
}

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
