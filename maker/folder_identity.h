#pragma once
// Whether one folder lies in another, by what the file system says the
// folders are rather than by how their paths are spelt: another drive letter
// for the same folder (subst, a second mapping of a share), a junction or a
// symbolic link, a short 8.3 name or another case all name the same folder,
// and a text comparison of paths misses every one of them. A folder is known
// by its volume's serial number and its file id; its ancestors are found
// both by cutting its path back one name at a time and, where the system can
// say it (Windows Vista and later), by cutting back the final path that links
// resolve to.

#include "maker/wide_path.h"

// Returns 1 when the folder inner is the folder outer or lies anywhere below
// it; 0 when not; -1 when inner or outer cannot be opened (GetLastError says
// why). Both must exist. Neither path is changed.
int FolderIsWithin(const WidePath* inner, const WidePath* outer);
