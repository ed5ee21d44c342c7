#include "toolkit/system/os_version.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"

static OSVERSIONINFOA OsVersion;
static char OsVersionText[OsVersionTextSize];

OSVERSIONINFOA* GetOsVersion(OSVERSIONINFOA* info)
{
    if (!info)
        return 0;
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    // A refusal leaves the previous answer in the record, and that is what
    // the caller gets.
    GetVersionExA(&OsVersion);
    memcpy(info, &OsVersion, sizeof OsVersion);
    return info;
}

// Asks the system afresh; the shared record then holds the answer.
static const OSVERSIONINFOA* Refresh()
{
    OSVERSIONINFOA info;
    GetOsVersion(&info);
    return &OsVersion;
}

int IsNt5OrLater() { return IsNt5OrLaterOf(Refresh()); }
int GetOsKind() { return OsKindOf(Refresh()); }

const char* GetOsVersionText()
{
    FormatOsVersion(Refresh(), OsVersionText);
    return OsVersionText;
}

int IsNt5OrLaterOf(const OSVERSIONINFOA* info)
{
    return info->dwPlatformId == VER_PLATFORM_WIN32_NT && info->dwMajorVersion > 4;
}

int OsKindOf(const OSVERSIONINFOA* info)
{
    DWORD major = info->dwMajorVersion;
    if (info->dwPlatformId == VER_PLATFORM_WIN32_NT)
        return major <= 4 ? 0 : major == 5 ? 1 : major == 6 ? 2 : 3;
    // 0x103 is skipped: from major 5 on the other family reads 0x104.
    return OsKindOtherFamily | (major <= 2 ? 0 : major == 3 ? 1 : major == 4 ? 2 : 4);
}

const char* OsVersionFormatOf(const OSVERSIONINFOA* info)
{
    DWORD major = info->dwMajorVersion, minor = info->dwMinorVersion;
    if (info->dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (major <= 4)
            return "Windows NT%d.%d (Build:%d) %s ";
        if (major == 5 && minor == 0)
            return "Windows 2000 %d.%d (Build:%d) %s ";
        if (major == 5 && minor == 1)
            return "Windows XP %d.%d (Build:%d) %s ";
        return "Windows XP以降 %d.%d (Build:%d) %s ";
    }
    if (major <= 3)
        return "Windows %d.%d (Build:%d) %s ";
    if (major == 4) {
        if (minor >= 90)
            return "Windows ME %d.%d (Build:%d) %s ";
        if (minor >= 10)
            return "Windows 98 %d.%d (Build:%d) %s ";
        return "Windows 95 %d.%d (Build:%d) %s ";
    }
    return "Windows ME以降 %d.%d (Build:%d) %s ";
}

void FormatOsVersion(const OSVERSIONINFOA* info, char* text)
{
    // The service-pack text is read only within its field, even when a record
    // holds no terminator there.
    char csd[sizeof info->szCSDVersion];
    memcpy(csd, info->szCSDVersion, sizeof csd);
    csd[sizeof csd - 1] = 0;
    // The formatter writes up to 1,024 bytes; the report keeps what fits.
    // The build number is printed whole as a signed number.
    char buf[1024];
    wsprintfA(buf, OsVersionFormatOf(info), (int)info->dwMajorVersion, (int)info->dwMinorVersion,
              (int)info->dwBuildNumber, csd);
    DbcsCopyCut(text, OsVersionTextSize, buf);
}
