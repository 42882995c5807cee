#pragma once
// The product's pages on the web: the Help menu and the about box open them.

namespace vexil {

inline constexpr const char *kHomePageAddress = "https://vexil.example.org/";
inline constexpr const char *kOnlineHelpAddress = "https://vexil.example.org/help/";

} // namespace vexil
