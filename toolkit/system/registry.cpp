#include "toolkit/system/registry.h"

#include <string.h>

static char KeyPath[RegKeyPathSize];
// Set by a selection that did not fit: no key is selected until the next one.
static int KeyRefused;

void SelectRegKey(const char* name)
{
    KeyPath[0] = 0;
    KeyRefused = strlen(name) >= (size_t)RegKeyPathSize;
    if (!KeyRefused)
        wsprintfA(KeyPath, "%s", name);
}

void SelectSoftwareRegKey(const char* name)
{
    static const char prefix[] = "SoftWare\\";
    KeyPath[0] = 0;
    KeyRefused = sizeof prefix - 1 + strlen(name) >= (size_t)RegKeyPathSize;
    if (!KeyRefused)
        wsprintfA(KeyPath, "SoftWare\\%s", name);
}

// Opens the selected key under HKEY_CURRENT_USER with full access; when create
// is nonzero a missing key is created with any missing keys above it. Returns
// null when the key cannot be had; the system's code is not kept.
static HKEY OpenSelectedKey(int create)
{
    if (KeyRefused)
        return 0;
    HKEY key = 0;
    LONG rc;
    if (create)
        rc = RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath, 0, 0, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, 0, &key, 0);
    else
        rc = RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath, 0, KEY_ALL_ACCESS, &key);
    return rc == ERROR_SUCCESS ? key : 0;
}

static int WriteValue(const char* value_name, DWORD type, const void* data, DWORD count)
{
    HKEY key = OpenSelectedKey(1);
    if (!key)
        return -1;
    LONG rc = RegSetValueExA(key, value_name, 0, type, (const BYTE*)data, count);
    RegCloseKey(key);
    return rc;
}

int WriteRegNumber(const char* value_name, DWORD number)
{
    int rc = WriteValue(value_name, REG_DWORD, &number, sizeof number);
    if (rc == -1)
        return -1;
    return rc == ERROR_SUCCESS ? 1 : 0;
}

int ReadRegNumber(const char* value_name, DWORD* number)
{
    return ReadRegBytes(value_name, number, sizeof *number);
}

int WriteRegBytes(const char* value_name, const void* bytes, int count)
{
    if (count < 0)
        return ERROR_INVALID_PARAMETER;
    return WriteValue(value_name, REG_BINARY, bytes, (DWORD)count);
}

int ReadRegBytes(const char* value_name, void* bytes, int size)
{
    HKEY key = OpenSelectedKey(0);
    if (!key)
        return -1;
    DWORD cb = size > 0 ? (DWORD)size : 0;
    LONG rc = RegQueryValueExA(key, value_name, 0, 0, (BYTE*)bytes, &cb);
    RegCloseKey(key);
    return rc;
}

int WriteRegText(const char* value_name, const char* text)
{
    return WriteValue(value_name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

// Reads the whole value into a scratch block first: only then is it known
// whether it ends in a terminator and so whether it fits the caller's
// destination, which must stay untouched when it does not. The size that the
// first query reports is also only an upper bound for text types on some
// systems; the second query gives the real one.
int ReadRegText(const char* value_name, char* text, int size)
{
    HKEY key = OpenSelectedKey(0);
    if (!key)
        return -1;
    DWORD type = 0;
    DWORD stored = 0;
    LONG rc = RegQueryValueExA(key, value_name, 0, &type, 0, &stored);
    if (rc == ERROR_SUCCESS) {
        BYTE* scratch = (BYTE*)HeapAlloc(GetProcessHeap(), 0, stored + 1);
        if (!scratch) {
            rc = ERROR_NOT_ENOUGH_MEMORY;
        } else {
            DWORD got = stored;
            rc = RegQueryValueExA(key, value_name, 0, &type, scratch, &got);
            if (rc == ERROR_SUCCESS) {
                int len = (int)got;
                if (len > 0 && scratch[len - 1] == 0)
                    len--;
                if (size <= 0 || len > size - 1) {
                    rc = ERROR_MORE_DATA;
                } else {
                    memcpy(text, scratch, len);
                    text[len] = 0;
                }
            }
            HeapFree(GetProcessHeap(), 0, scratch);
        }
    }
    RegCloseKey(key);
    return rc;
}

int EraseRegValue(const char* value_name)
{
    HKEY key = OpenSelectedKey(0);
    if (!key)
        return -1;
    LONG rc = RegDeleteValueA(key, value_name);
    RegCloseKey(key);
    return rc;
}
