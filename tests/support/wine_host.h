#pragma once
// What tests need from the Unix host under Wine: symbolic links (which Wine
// lists as folders with the reparse-point bit) and extra drive letters whose
// root is a folder of the test's own.

#include <string>

// Unix path of a Windows path, or "" when not under Wine.
std::string UnixPathOf(const std::string& path);
// Windows path of a Unix path: Wine shows the Unix root as drive Z:.
std::string WindowsPathOfUnix(const std::string& unix_path);
// Starts a Unix command line (its program given as a Unix path). Does not
// wait for it: Wine gives no process handle for a Unix program, so callers
// wait for the command's effect. Wine starts it without a shell: arguments
// are split at spaces and taken literally, so the paths given to the helpers
// below must hold no spaces.
bool RunUnixCommand(const std::string& command);
// Creates link as a Unix symbolic link to the folder target. Returns true once
// the link is visible to Windows calls.
bool MakeFolderLink(const std::string& target, const std::string& link);
// Removes a link made by MakeFolderLink; nothing behind it is touched.
bool RemoveFolderLink(const std::string& link);
// Maps the drive letter (such as 'M') onto folder, so that "M:\" is a drive
// root whose listing has no self and parent entries. Returns true once usable.
bool MapDrive(char letter, const std::string& folder);
// Removes a mapping made by MapDrive.
void UnmapDrive(char letter);

// Makes a file immutable (chattr +i) while the object lives, so that even
// root cannot write it: under Wine, CopyFileA onto it and CreateFileA for
// writing then fail with ERROR_ACCESS_DENIED, as Windows refuses a read-only
// file. (Wine as root writes a merely read-only file.)
class ImmutableFile {
public:
    explicit ImmutableFile(const std::string& path);
    ~ImmutableFile();
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    // True once the file refuses writing.
    bool ok() const { return ok_; }

private:
    std::string path_;
    bool ok_ = false;
};
