#!/usr/bin/env bash
# IGE and CTR over 1 MiB on the backends for CPUs without AES-NI: the bitsliced AES against
# libcrypto in each of its modes, selected with OPENSSL_ia32cap (bit 57 AES-NI, bit 41 SSSE3).
set -euo pipefail
binary=${1:?usage: portable_backends.sh BINARY}
printf '%-34s %12s %12s %12s\n' "ms per MiB" "IGE encrypt" "IGE decrypt" "CTR"
for mode in "AES-NI:" "vector permutes (SSSE3):~0x200000000000000" "tables:~0x200020000000000"; do
    # An empty OPENSSL_ia32cap would clear every capability bit: leave it unset for AES-NI.
    if [ -n "${mode#*:}" ]; then
        read -r -a t <<<"$(OPENSSL_ia32cap="${mode#*:}" "$binary")"
    else
        read -r -a t <<<"$(env -u OPENSSL_ia32cap "$binary")"
    fi
    printf '%-34s %12s %12s %12s\n' "libcrypto, ${mode%%:*}" "${t[0]}" "${t[1]}" "${t[2]}"
    bits=("${t[3]}" "${t[4]}" "${t[5]}")
done
printf '%-34s %12s %12s %12s\n' "bitsliced (ours)" "${bits[0]}" "${bits[1]}" "${bits[2]}"
