#pragma once
// Temporary folders and small file helpers for tests that work on real files.

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with all its
// contents (read-only files included) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with a relative path.
    std::string operator/(const std::string& rel) const { return path_ + "\\" + rel; }

private:
    std::string path_;
};

// The place of path's last backslash that is a character of its own, never
// the second byte of a code page 932 character ("表" ends in 0x5C), or npos.
size_t LastSeparator(const std::string& path);

// Writes data as the whole content of path, creating missing folders on the way.
bool WriteFileText(const std::string& path, const std::string& data);
// Returns the whole content of path; found (when given) tells whether it could be read.
std::string ReadFileText(const std::string& path, bool* found = nullptr);
// Creates path and every missing folder above it.
bool MakeFolders(const std::string& path);
// True when path names an existing folder.
bool FolderExists(const std::string& path);
// True when path names an existing file.
bool FileIsThere(const std::string& path);
// Removes a tree without following links; read-only files are made writable first.
void RemoveTreeForTest(const std::string& path);

// An entry below a root: its relative name, and whether it is a folder that
// walks enter (a plain folder, not a link).
struct TreeEntry {
    std::string path;
    bool folder;
};
// Every entry below root in the order a walk meets it: listing order, each
// subfolder's entries right after the subfolder.
std::vector<TreeEntry> TreeEntriesInWalkOrder(const std::string& root);

// Relative names of the files under root in the order a walk numbers them:
// listing order, each subfolder's files where the subfolder stands. The
// platform's listing order is not promised, so tests take it from here.
std::vector<std::string> FilesInWalkOrder(const std::string& root);
