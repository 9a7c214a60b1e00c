// MD5 (RFC 1321): the digest the shared thumbnail cache names its files by. A name, not a
// safeguard: nothing here relies on MD5 resisting collisions.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using MD5_DIGEST = std::array<std::uint8_t, 16>;

MD5_DIGEST Md5(std::span<const std::uint8_t> bytes);
// The digest of text's bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view text);
