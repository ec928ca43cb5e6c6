#pragma once

namespace engine {

class THvxEngine;

// The checks made when the start-address page is left with Next. All three run,
// in order, and each failing one shows its own box, so up to two boxes can
// appear for one press: both texts filled in (then the save directory must be an
// absolute path whose file system's free space can be read; a leading "~/" is
// expanded in the setting itself and the free space is stored in iDiskFree),
// and the start address must use "http://". Returns whether the page may be left.
bool CheckStartPage(THvxEngine& engine);

}  // namespace engine
