#include "tests/support/temp_dir.h"

#include <stdio.h>

TempDir::TempDir()
{
    static int counter;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    for (int attempt = 0; attempt < 1000; attempt++) {
        char name[MAX_PATH + 64];
        wsprintfA(name, "%supdtest-%lu-%d", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            return;
        }
    }
    // Going on without the folder would aim the tests at other paths.
    fprintf(stderr, "FATAL: no temporary folder can be made under %s (%lu)\n", base,
            GetLastError());
    ExitProcess(3);
}

TempDir::~TempDir() { RemoveTreeForTest(path_); }

size_t LastSeparator(const std::string& path)
{
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); i++) {
        if (IsDBCSLeadByte((BYTE)path[i]) && i + 1 < path.size())
            i++;
        else if (path[i] == '\\')
            last = i;
    }
    return last;
}

bool MakeFolders(const std::string& path)
{
    if (FolderExists(path))
        return true;
    size_t cut = LastSeparator(path);
    if (cut != std::string::npos && cut > 2)
        MakeFolders(path.substr(0, cut));
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteFileText(const std::string& path, const std::string& data)
{
    size_t cut = LastSeparator(path);
    if (cut != std::string::npos)
        MakeFolders(path.substr(0, cut));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data.data(), (DWORD)data.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == data.size();
}

std::string ReadFileText(const std::string& path, bool* found)
{
    std::string data;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (found)
        *found = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0)
        data.append(buf, got);
    CloseHandle(file);
    return data;
}

bool FolderExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileIsThere(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTreeForTest(const std::string& path)
{
    if (path.empty())
        return;  // "\*" would be the root of the current drive
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTreeForTest(full);
            else if (!DeleteFileA(full.c_str()))
                RemoveDirectoryA(full.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

static void CollectEntries(const std::string& root, const std::string& rel,
                           std::vector<TreeEntry>* entries)
{
    WIN32_FIND_DATAA entry;
    std::string folder = rel.empty() ? root : root + "\\" + rel;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = rel.empty() ? name : rel + "\\" + name;
        bool walked_into = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                           !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        entries->push_back({path, walked_into});
        if (walked_into)
            CollectEntries(root, path, entries);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

std::vector<TreeEntry> TreeEntriesInWalkOrder(const std::string& root)
{
    std::vector<TreeEntry> entries;
    CollectEntries(root, "", &entries);
    return entries;
}

std::vector<std::string> FilesInWalkOrder(const std::string& root)
{
    std::vector<std::string> names;
    for (const TreeEntry& entry : TreeEntriesInWalkOrder(root))
        if (!entry.folder)
            names.push_back(entry.path);
    return names;
}
