// Unpacking arbitrary packed bytes under any key and direction: never a crash, and either a
// rejection or fields that fit the decrypted data. A message packed from the same input under
// the same key unpacks to what was packed.
#include <cstdlib>

#include "fuzz_input.hpp"
#include "message/pack.hpp"
#include "message/unpack.hpp"

using namespace dallowgate;

namespace {

// The job, its plaintext after the header going to `rest` (resized to fit).
UnpackJob job_for(std::span<const std::uint8_t> packed, const SecretBytes<AUTH_KEY_SIZE>& auth_key,
                  std::size_t offset, std::span<const std::uint8_t, 8> session_id,
                  std::vector<std::uint8_t>& rest) {
    const std::span<const std::uint8_t> ciphertext = packed.subspan(PACKED_HEADER_SIZE);
    rest.assign(ciphertext.size() >= PLAINTEXT_HEADER_SIZE ? ciphertext.size() - 32 : 0, 0);
    UnpackJob job{ciphertext, rest.data(), true, {}, auth_key, {}, offset};
    std::copy(session_id.begin(), session_id.end(), job.session_id.begin());
    std::copy(packed.begin() + 8, packed.begin() + 24, job.msg_key.begin());
    return job;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzzing::FuzzInput input(bytes, size);
    const std::size_t offset = input.byte() & 1 ? 8 : 0;
    SecretBytes<AUTH_KEY_SIZE> auth_key;
    input.take(auth_key.data(), AUTH_KEY_SIZE);
    std::uint8_t session_id[8];
    input.take(session_id, 8);
    const std::vector<std::uint8_t> packed = input.rest();

    if (packed.size() >= PACKED_HEADER_SIZE) {
        std::vector<std::uint8_t> rest;
        UnpackOutcome outcome =
            unpack_message_job(job_for(packed, auth_key, offset, session_id, rest));
        if (!outcome.rejection &&
            (outcome.fields.body_length < 0 ||
             static_cast<std::size_t>(outcome.fields.body_length) + PLAINTEXT_HEADER_SIZE >
                 packed.size() - PACKED_HEADER_SIZE))
            std::abort();
    }

    // The same bytes as a body, packed and unpacked again.
    PackJob pack{{}, auth_key, {1, 2, 3, 4, 5, 6, 7, 8}};
    if (!pack.buffer.resize_uninitialized(PACKED_HEADER_SIZE + padded_length(packed.size())))
        std::abort();
    lay_out_plaintext(pack.buffer.bytes(),
                      {-7, 42, packed, 1234, std::span<const std::uint8_t, 8>(session_id)});
    if (fill_padding(pack.buffer.bytes(), packed.size()) != 0) std::abort();
    ByteBuffer sealed = pack_message_job(std::move(pack));
    std::vector<std::uint8_t> rest;
    UnpackOutcome back = unpack_message_job(job_for(sealed.bytes(), auth_key, 0, session_id, rest));
    if (back.rejection || back.fields.msg_id != -7 || back.fields.seq_no != 42 ||
        static_cast<std::size_t>(back.fields.body_length) != packed.size() ||
        !std::equal(packed.begin(), packed.end(), rest.begin()))
        std::abort();
    return 0;
}
