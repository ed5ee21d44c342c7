#pragma once
// Removal of everything below a folder of a publisher's tree, so that a
// patch that could not be finished leaves nothing half-written behind.

#include "maker/wide_path.h"

// Removes every file and folder below folder, depth first, and keeps folder
// itself. A link is removed as a link; nothing behind it is touched. Read-only
// files are made writable first. Returns 1 when all is gone; 0 when something
// stayed (the removal goes on past it).
int RemoveTreeContents(WidePath* folder);
