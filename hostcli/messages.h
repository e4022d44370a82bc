// The texts both programs print through the shared host helpers, named once.
// Error lines are kErrorPrefix followed by the text.
#pragma once

namespace hostcli::msg {

inline constexpr char kErrorPrefix[] = "Error: ";
inline constexpr char kNoAbsolutePath[] = "  Could not build absolute path for: %s\n";

}  // namespace hostcli::msg
