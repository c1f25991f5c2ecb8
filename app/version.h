// The product's name and version as the programs print them.
#pragma once

namespace app {
inline constexpr const char* kProductName = "Quillora PRO Auto-Update";
inline constexpr const char* kVersion = "0.1.0";
}  // namespace app
