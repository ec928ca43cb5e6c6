#pragma once

namespace ui {

// Registers the program's pictures, animations and help text (they live in
// this static library, so nothing registers them by itself). Idempotent.
void InitResources();

}  // namespace ui
