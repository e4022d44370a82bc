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

// The image file is locked by another process (ffsmount -rw, or readers
// while ffsmount -rw asks); %s is the image path.
inline constexpr char kImageLockedText[] =
    "  The image %s is in use by another process (mounted read-write by ffsmount?); unmount it first\n";

}  // namespace flashimage::msg
