#pragma once

#include <string_view>

// The texts the windows show when the configuration cannot be loaded, and the
// address users write to.
namespace config {

inline constexpr std::string_view kSupportAddress = "support@twinfold.org";

// Shown when neither the configuration file nor the shipped default exists.
inline constexpr std::string_view kDefaultFileMissingMessage =
    "Twinfold default config file missed, please reinstall Twinfold!";

// Shown when the configuration file cannot be read as a configuration.
inline constexpr std::string_view kCannotParseMessage =
    "Twinfold can't parse XML document, please contract us : support@twinfold.org";
static_assert(kCannotParseMessage.ends_with(kSupportAddress));

}  // namespace config
