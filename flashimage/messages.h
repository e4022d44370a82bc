// The texts of the image library and of the flash-type option that vorel and
// ffsinspect both print, named once.
#pragma once

namespace flashimage::msg {

// The flash-type option (after the error prefix).
inline constexpr char kNoFlashType[] = "  flash type (flashType:MX29LV640B, M29W256G) not specified!";
inline constexpr char kBadFlashType[] = "  flashtype parameter does not exist!";

// Volume set-up (FlashVolumes).
inline constexpr char kFormatVolume[] = "Format Volume %s \n";
inline constexpr char kMountVolume[] = "Mount Volume %s \n";

}  // namespace flashimage::msg
