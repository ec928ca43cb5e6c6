#pragma once

#include <QIcon>
#include <string>

namespace platform {

// Makes the desktop's icon theme usable everywhere: adds "/usr/share/icons" to
// the theme search paths and falls back to the "Adwaita" theme when the
// platform names none (offscreen, a bare X server).
void ensureIconTheme();

// The small icon the desktop shows for files like the one at path, judged by
// the MIME database (name first, then content). For the rule editor the file
// at path is a scratch file: it is created empty (replacing an earlier one, but
// never following a link), asked about and always deleted again. A path whose
// file name holds a "/" would reach outside the scratch folder and is refused:
// the generic file icon is returned without touching the disk.
QIcon fileTypeSmallIcon(const std::string& folder, const std::string& fileName);

// The icon for MIME-less patterns such as "*.*".
QIcon genericFileIcon();

}  // namespace platform
