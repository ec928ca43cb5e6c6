#pragma once

namespace engine {

class THvxEngine;

// What the start-address page's checks found; each finding showed its box.
struct StartPageFindings {
    bool blankBoxes = false;
    bool invalidDrive = false;
    bool folderNotWritable = false;
    bool notHttp = false;

    bool passed() const { return !blankBoxes && !invalidDrive && !folderNotWritable && !notHttp; }
};

// The checks made when the start-address page is left with Next. All run, in
// order, and each failing one shows its own box, so up to two boxes can appear
// for one press: both texts filled in (then the save directory must be an
// absolute path whose file system's free space can be read; a leading "~/" is
// expanded in the setting itself and the free space is stored in iDiskFree;
// and the folder must exist or be creatable, and take files), and the start
// address must use "http://" or "https://".
StartPageFindings ValidateStartPage(THvxEngine& engine);

// Whether the page may be left.
inline bool CheckStartPage(THvxEngine& engine) { return ValidateStartPage(engine).passed(); }

}  // namespace engine
