// Arguments that more than one quillet command takes.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillet::cli {

// The BYTES of --max-size: decimal digits only. Empty when `text` is not such a number.
inline std::optional<std::uint64_t> parseByteCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace quillet::cli
