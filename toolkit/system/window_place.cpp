#include "toolkit/system/window_place.h"

#include "toolkit/system/message_box.h"

const char* const VolumeControlTitles[VolumeControlTitleCount] = {
    "Play Control",
    "ボリューム コントロール",
    "ﾎﾞﾘｭｰﾑ ｺﾝﾄﾛｰﾙ",
    "デスクトップ スピーカー",
    "ﾃﾞｽｸﾄｯﾌﾟ ｽﾋﾟｰｶｰ",
    "Master Volume",
    "Volume Control",
};

HWND FindVolumeControlWindow()
{
    for (int i = 0; i < VolumeControlTitleCount; i++) {
        HWND found = FindWindowA(0, VolumeControlTitles[i]);
        if (found)
            return found;
    }
    return 0;
}

void BringWindowToFront(HWND window)
{
    // With no foreground window the thread is 0 and the attach is refused;
    // the switch is tried all the same. Only a joint that was made is undone,
    // so a joint the caller made before is never taken apart.
    DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), 0);
    DWORD self = GetCurrentThreadId();
    BOOL attached = AttachThreadInput(front, self, TRUE);
    SetForegroundWindow(window);
    if (attached)
        AttachThreadInput(front, self, FALSE);
}

// The rectangle to centre over: the owner window's, or the primary screen's
// work area when there is no owner window or its rectangle cannot be read.
static void GetCentringArea(RECT* area)
{
    HWND owner = GetOwnerWindow();
    if (owner && GetWindowRect(owner, area))
        return;
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, area, 0))
        return;
    SetRect(area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// Start of a span lo..hi centred in area_lo..area_hi; the halving truncates
// toward zero. Worked in 64 bits so that no coordinate can overflow.
static int CentredStart(LONG area_lo, LONG area_hi, LONG lo, LONG hi)
{
    long long spare = ((long long)area_hi - area_lo) - ((long long)hi - lo);
    return (int)(area_lo + spare / 2);
}

int PlaceWindow(HWND window, int x, int y)
{
    if (x < 0 || y < 0) {
        RECT own, area;
        if (!GetWindowRect(window, &own))
            return 0;
        GetCentringArea(&area);
        x = CentredStart(area.left, area.right, own.left, own.right);
        y = CentredStart(area.top, area.bottom, own.top, own.bottom);
    }
    // Without SWP_NOACTIVATE the move would also activate the window, and
    // activation raises it to the top of the stacking order.
    return SetWindowPos(window, 0, x, y, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
}

int MoveWindowTo(HWND window, int x, int y) { return PlaceWindow(window, x, y); }

void GetWindowPlace(HWND window, int* left, int* top)
{
    RECT rc;
    if (!GetWindowRect(window, &rc))
        return;
    if (left)
        *left = rc.left;
    if (top)
        *top = rc.top;
}

int IsWindowShown(HWND window) { return IsWindowVisible(window); }

int GetDisplayMode(int* width, int* height)
{
    // An owner window that no longer exists gives no device context; the
    // screen's is asked instead, and each context goes back with the window
    // it was got for.
    HWND window = GetOwnerWindow();
    HDC dc = GetDC(window);
    if (!dc && window) {
        window = 0;
        dc = GetDC(0);
    }
    if (!dc)
        return 0;
    int bits = GetDeviceCaps(dc, BITSPIXEL);
    int horz = GetDeviceCaps(dc, HORZRES);
    int vert = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(window, dc);
    if (width)
        *width = horz;
    if (height)
        *height = vert;
    return bits;
}
