// Every module function declared once: its name, its parameters with their kinds, how many
// are required, and its docstring. The method record (name, text signature and docstring),
// the argument matching and the body's typed arguments all come from these declarations.
#pragma once

#include "binding/python.hpp"

#include <string>

#include "binding/signature.hpp"

namespace dallowgate {

template <class... Kinds>
struct Declaration {
    Signature<Kinds...> signature;
    const char* docstring;  // after the text signature; empty for none

    // "name(a, b, c=True)\n--\n\n" followed by the docstring: the interpreter's form, from
    // which it derives __text_signature__ and __doc__.
    std::string method_doc() const {
        const FunctionDescription& d = signature.description;
        const char* defaults[] = {Signature<Kinds...>::template default_text<Kinds>()...};
        std::string doc = std::string(d.name) + "(";
        for (std::size_t i = 0; i < d.parameters.size(); ++i) {
            if (i) doc += ", ";
            doc += d.parameters[i];
            if (defaults[i]) doc = doc + "=" + defaults[i];
        }
        return doc + ")\n--\n\n" + docstring;
    }
};

inline constexpr const char* IGE_PARAMETERS[] = {"data", "key", "iv"};
inline constexpr const char* CTR_PARAMETERS[] = {"src", "key", "iv", "state"};
inline constexpr const char* INPLACE_PARAMETERS[] = {"data", "key", "iv", "state"};
inline constexpr const char* BATCH_PARAMETERS[] = {"data_flat", "sizes", "key", "ivs", "states"};
inline constexpr const char* KDF_PARAMETERS[] = {"auth_key", "msg_key", "outgoing"};
inline constexpr const char* PACK_PARAMETERS[] = {"msg_id",     "seq_no",   "body",       "salt",
                                                  "session_id", "auth_key", "auth_key_id"};
inline constexpr const char* UNPACK_PARAMETERS[] = {"packed", "session_id", "auth_key",
                                                    "auth_key_id", "incoming"};

using IgeDeclaration = Declaration<Bytes, Bytes, Bytes>;
using CtrDeclaration = Declaration<Bytes, Bytes, ByteArray, ByteArray>;
using InplaceDeclaration = Declaration<ByteArray, Bytes, ByteArray, ByteArray>;
using BatchDeclaration = Declaration<Bytes, ByteArray, Bytes, ByteArray, ByteArray>;

inline constexpr IgeDeclaration IGE256_ENCRYPT{{{"ige256_encrypt", IGE_PARAMETERS, 3}}, ""};
inline constexpr IgeDeclaration IGE256_DECRYPT{{{"ige256_decrypt", IGE_PARAMETERS, 3}}, ""};
inline constexpr CtrDeclaration CTR256_ENCRYPT{{{"ctr256_encrypt", CTR_PARAMETERS, 4}}, ""};
inline constexpr CtrDeclaration CTR256_DECRYPT{{{"ctr256_decrypt", CTR_PARAMETERS, 4}}, ""};
inline constexpr InplaceDeclaration CTR256_ENCRYPT_INPLACE{
    {{"ctr256_encrypt_inplace", INPLACE_PARAMETERS, 4}},
    "In-place CTR encrypt: copies data out, processes, writes back.\n"
    "Saves one allocation vs the returning version."};
inline constexpr InplaceDeclaration CTR256_DECRYPT_INPLACE{
    {{"ctr256_decrypt_inplace", INPLACE_PARAMETERS, 4}}, ""};
inline constexpr BatchDeclaration CTR256_ENCRYPT_BATCH{
    {{"ctr256_encrypt_batch", BATCH_PARAMETERS, 5}},
    "Batch CTR encrypt: all data passed as a single flat buffer with sizes list.\n"
    "Eliminates per-item Python list indexing (O(1) Python calls regardless of batch size)."};
inline constexpr BatchDeclaration CTR256_DECRYPT_BATCH{
    {{"ctr256_decrypt_batch", BATCH_PARAMETERS, 5}}, ""};
inline constexpr Declaration<Bytes, Bytes, Flag> KDF{{{"kdf", KDF_PARAMETERS, 3}}, ""};
inline constexpr Declaration<Int64, Int32, Bytes, Int64, Bytes, Bytes, Bytes> PACK_MESSAGE{
    {{"pack_message", PACK_PARAMETERS, 7}}, ""};
inline constexpr Declaration<Bytes, Bytes, Bytes, Bytes, FlagDefaultTrue> UNPACK_MESSAGE{
    {{"unpack_message", UNPACK_PARAMETERS, 4}}, ""};

}  // namespace dallowgate
