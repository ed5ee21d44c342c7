#include "tests/support/wine_host.h"

#include <windows.h>

#include "tests/support/temp_dir.h"

std::string UnixPathOf(const std::string& path)
{
    typedef char*(CDECL * UnixNameFn)(const WCHAR*);
    UnixNameFn unix_name =
        (UnixNameFn)(void*)GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name");
    if (!unix_name)
        return "";
    WCHAR wide[MAX_PATH * 4];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 4))
        return "";
    char* name = unix_name(wide);
    if (!name)
        return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::string WindowsPathOfUnix(const std::string& unix_path)
{
    std::string path = "Z:" + unix_path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

bool RunUnixCommand(const std::string& command)
{
    std::string line = command;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // Wine reports success for a Unix program but fills pi with leftovers of
    // its own stack, which can be the values of live handles of this process
    // (closing them broke every later named object). So pi is neither waited
    // on nor closed; callers wait for the command's effect instead.
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi) != FALSE;
}

// Waits until path's presence is as wanted: Wine may start a Unix program
// through a launcher that returns before the program has finished.
static bool AwaitPresence(const std::string& path, bool present)
{
    for (int i = 0; i < 200; i++) {
        if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present)
            return true;
        Sleep(25);
    }
    return false;
}

bool MakeFolderLink(const std::string& target, const std::string& link)
{
    std::string from = UnixPathOf(target);
    size_t cut = LastSeparator(link);
    std::string to = UnixPathOf(link.substr(0, cut)) + "/" + link.substr(cut + 1);
    if (from.empty() || to.size() <= 1)
        return false;
    return RunUnixCommand("Z:\\bin\\ln -s " + from + " " + to) &&
           AwaitPresence(link, true);
}

bool RemoveFolderLink(const std::string& link)
{
    std::string path = UnixPathOf(link);
    return !path.empty() && RunUnixCommand("Z:\\bin\\rm -f " + path) &&
           AwaitPresence(link, false);
}

static std::string DosDevices()
{
    std::string c = UnixPathOf("C:\\");  // ".../dosdevices/c:/"
    size_t cut = c.rfind("c:");
    return cut == std::string::npos ? "" : c.substr(0, cut);
}

bool MapDrive(char letter, const std::string& folder)
{
    std::string devices = DosDevices();
    std::string from = UnixPathOf(folder);
    if (devices.empty() || from.empty())
        return false;
    std::string drive = std::string(1, (char)(letter | 0x20)) + ":";
    std::string root = std::string(1, letter) + ":\\";
    if (!RunUnixCommand("Z:\\bin\\ln -sfn " + from + " " + devices + drive))
        return false;
    for (int i = 0; i < 200; i++) {
        if (GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(25);
    }
    return false;
}

void UnmapDrive(char letter)
{
    std::string devices = DosDevices();
    if (!devices.empty() &&
        RunUnixCommand("Z:\\bin\\rm -f " + devices + std::string(1, (char)(letter | 0x20)) + ":"))
        AwaitPresence(std::string(1, letter) + ":\\", false);  // a later mapping must not meet this one
}

// Waits until path can (or cannot) be opened for writing.
static bool AwaitWritable(const std::string& path, bool writable)
{
    for (int i = 0; i < 200; i++) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if ((file != INVALID_HANDLE_VALUE) == writable)
            return true;
        Sleep(25);
    }
    return false;
}

ImmutableFile::ImmutableFile(const std::string& path) : path_(path)
{
    std::string unix_path = UnixPathOf(path);
    ok_ = !unix_path.empty() && RunUnixCommand("Z:\\bin\\chattr +i " + unix_path) &&
          AwaitWritable(path, false);
}

ImmutableFile::~ImmutableFile()
{
    // Always undone: the temporary folder could not be removed otherwise.
    std::string unix_path = UnixPathOf(path_);
    if (!unix_path.empty() && RunUnixCommand("Z:\\bin\\chattr -i " + unix_path))
        AwaitWritable(path_, true);
}
