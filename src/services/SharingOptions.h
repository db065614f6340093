#pragma once

namespace qx {

// The share channels a screen offers, as a bit set; 0 offers all four.
using SharingOptions = unsigned;
inline constexpr SharingOptions SharingOptionEmail = 1;
inline constexpr SharingOptions SharingOptionExport = 2;
inline constexpr SharingOptions SharingOptionTwitter = 4;
inline constexpr SharingOptions SharingOptionFacebook = 8;

}  // namespace qx
