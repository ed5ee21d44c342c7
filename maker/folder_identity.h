#pragma once
// Whether one folder lies in another, by what the file system says the
// folders are rather than by how their paths are spelt: another drive letter
// for the same folder (subst, a second mapping of a share), a junction or a
// symbolic link, a short 8.3 name or another case all name the same folder,
// and a text comparison of paths misses every one of them. A folder is known
// by its volume's serial number and its file id: the 128-bit id where the
// system gives one (Windows 8 and Server 2012 on; the 64-bit index is not
// unique on ReFS), else the 64-bit index. Its ancestors are found both by
// cutting its path back one name at a time and, where the system can say it
// (Windows Vista and later), by cutting back the final path that links
// resolve to.
//
// Where the system gives no id (0, as some network shares and virtual
// machines' shared folders give for every file), the folders are compared
// by the text of their final paths, letters in either case, or of their
// paths as given before Vista. That misses one folder reached by two
// names that the system does not resolve: two shares or two server names
// for one folder, a link on the server's side, and before Vista any link,
// drive letter or short name.

#include "maker/wide_path.h"

// Returns 1 when the folder inner is the folder outer or lies anywhere below
// it; 0 when not; -1 when inner or outer cannot be opened (GetLastError says
// why). Both must exist. Neither path is changed.
int FolderIsWithin(const WidePath* inner, const WidePath* outer);
