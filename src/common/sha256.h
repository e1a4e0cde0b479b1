// SHA-256 (FIPS 180-4), which names the list file a set of tables was made
// from (LIST_CHECKSUM; `sha256sum` gives the same digits). Where the CPU has
// the SHA extensions, their instructions do the rounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexlo {

// The 64 lowercase hexadecimal digits of the digest of `data`.
std::string sha256_hex(std::string_view data);

namespace sha256_detail {

// The rounds over `blocks` 64-byte blocks, the portable way and with the
// SHA extensions (only where sha_extensions_usable() says so): the same
// state either way. Declared here, not hidden in sha256.cpp, so that the
// tests can hold each way to the other on any machine.
void compress_portable(std::uint32_t state[8], const unsigned char* data, std::size_t blocks);
void compress_sha_extensions(std::uint32_t state[8], const unsigned char* data,
                             std::size_t blocks);
bool sha_extensions_usable() noexcept;

}  // namespace sha256_detail

}  // namespace vexlo
