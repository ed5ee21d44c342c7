#include "toolkit/system/window_place.h"

#include <limits.h>

#include <atomic>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"
#include "toolkit/system/message_box.h"

// A real top-level window of the test's own class, destroyed with the holder.
struct TestWindow {
    HWND hwnd;
    TestWindow(const char* title, int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "WindowPlaceTest";
        RegisterClassA(&wc);  // refused after the first time
        SetLastError(0xdeadbeef);
        hwnd = CreateWindowExA(0, wc.lpszClassName, title, style, x, y, w, h, nullptr, nullptr,
                               wc.hInstance, nullptr);
        EXPECT_TRUE(hwnd) << GetLastError();
    }
    ~TestWindow() { DestroyWindow(hwnd); }
    RECT Rect() const
    {
        RECT rc = {-7, -7, -7, -7};
        EXPECT_TRUE(GetWindowRect(hwnd, &rc)) << GetLastError();
        return rc;
    }
};

// Handles messages sent from other threads until done() or five seconds pass.
template <typename Done> static bool WaitFor(Done done)
{
    for (int i = 0; i < 500 && !done(); i++) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
    return done();
}

// True when window a lies above window b in the stacking order.
static bool Above(HWND a, HWND b)
{
    for (HWND w = GetWindow(a, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == b)
            return true;
    return false;
}

class WindowPlaceTest : public testing::Test {
protected:
    void TearDown() override { SetOwnerWindow(nullptr); }
};

// Titles as code page 932 bytes, written out independently of the compiler's
// conversion; the katakana ones with an ASCII space between their words.
static const char* const WantTitles[VolumeControlTitleCount] = {
    "Play Control",
    "\x83\x7B\x83\x8A\x83\x85\x81\x5B\x83\x80\x20\x83\x52\x83\x93\x83\x67\x83\x8D\x81\x5B\x83\x8B",
    "\xCE\xDE\xD8\xAD\xB0\xD1\x20\xBA\xDD\xC4\xDB\xB0\xD9",
    "\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76\x20\x83\x58\x83\x73\x81\x5B\x83\x4A\x81\x5B",
    "\xC3\xDE\xBD\xB8\xC4\xAF\xCC\xDF\x20\xBD\xCB\xDF\xB0\xB6\xB0",
    "Master Volume",
    "Volume Control",
};

TEST_F(WindowPlaceTest, VolumeControlTitlesInOrder)
{
    // FindWindowA ignores case and compares through the code page: check the
    // bytes themselves.
    for (int i = 0; i < VolumeControlTitleCount; i++)
        EXPECT_STREQ(WantTitles[i], VolumeControlTitles[i]) << i;
    ASSERT_EQ(nullptr, FindVolumeControlWindow());
    // Created from the last title to the first: each newcomer ranks first.
    std::vector<std::unique_ptr<TestWindow>> windows;
    for (int i = VolumeControlTitleCount - 1; i >= 0; i--) {
        windows.emplace_back(new TestWindow(WantTitles[i], 0, 0, 50, 50, WS_POPUP));
        EXPECT_EQ(windows.back()->hwnd, FindVolumeControlWindow()) << WantTitles[i];
    }
    windows.clear();
    EXPECT_EQ(nullptr, FindVolumeControlWindow());
}

TEST_F(WindowPlaceTest, PlaceAndMoveKeepSizeAndStacking)
{
    TestWindow owner("owner", 100, 100, 200, 200);
    SetOwnerWindow(owner.hwnd);
    struct Row {
        int w, h, x, y, left, top;
    } rows[] = {
        {301, 99, -1, 100, 50, 150},  // -101 / 2 truncates to -50; the 100 is dropped
        {99, 301, 5, -1, 150, 50},
        {301, 301, INT_MIN, INT_MIN, 50, 50},
        {40, 30, 0, 0, 0, 0},
        {40, 30, 7, 9, 7, 9},
    };
    for (auto place : {PlaceWindow, MoveWindowTo}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message() << row.x << "," << row.y);
            TestWindow window("placed", 500, 400, row.w, row.h);
            TestWindow other("other", 600, 500, 30, 30);  // created later: above
            ASSERT_TRUE(Above(other.hwnd, window.hwnd));
            SetLastError(0xdeadbeef);
            EXPECT_NE(0, place(window.hwnd, row.x, row.y)) << GetLastError();
            RECT rc = window.Rect();
            EXPECT_EQ(row.left, rc.left);
            EXPECT_EQ(row.top, rc.top);
            EXPECT_EQ(row.w, rc.right - rc.left);
            EXPECT_EQ(row.h, rc.bottom - rc.top);
            EXPECT_TRUE(Above(other.hwnd, window.hwnd));
            int left = -7, top = -7;
            GetWindowPlace(window.hwnd, &left, &top);
            EXPECT_EQ(row.left, left);
            EXPECT_EQ(row.top, top);
        }
    }
}

// Without an owner window, or with one that is gone, the window is centred
// over the work area; a window that is gone is not placed.
TEST_F(WindowPlaceTest, CentringWithoutOwner)
{
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    TestWindow window("placed", 10, 10, 301, 99);
    HWND gone = TestWindow("gone", 0, 0, 10, 10).hwnd;
    for (HWND owner : {(HWND) nullptr, gone}) {
        SetOwnerWindow(owner);
        ASSERT_TRUE(PlaceWindow(window.hwnd, 3, 3));
        EXPECT_NE(0, PlaceWindow(window.hwnd, -1, -1));
        RECT rc = window.Rect();
        EXPECT_EQ(area.left + (area.right - area.left - 301) / 2, rc.left);
        EXPECT_EQ(area.top + (area.bottom - area.top - 99) / 2, rc.top);
    }
    EXPECT_EQ(0, PlaceWindow(gone, -1, -1));
    EXPECT_EQ(0, MoveWindowTo(gone, 5, 5));
    int left = -7, top = -7;
    GetWindowPlace(gone, &left, &top);
    EXPECT_EQ(-7, left);
    EXPECT_EQ(-7, top);
}

// GetWindowRect refused for one window: that window is not centred.
static HWND Unreadable;
static void* RealGetWindowRect;
static BOOL WINAPI RefuseGetWindowRect(HWND window, RECT* rc)
{
    if (window != Unreadable)
        return ((BOOL(WINAPI*)(HWND, RECT*))RealGetWindowRect)(window, rc);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(WindowPlaceTest, UnreadableWindowIsNotCentred)
{
    TestWindow window("placed", 10, 20, 30, 40);
    Unreadable = window.hwnd;
    ASSERT_TRUE(HookImport("user32.dll", "GetWindowRect", (void*)RefuseGetWindowRect,
                           &RealGetWindowRect));
    int rc = PlaceWindow(window.hwnd, -1, -1);
    RestoreImport((void*)RefuseGetWindowRect, RealGetWindowRect);
    EXPECT_EQ(0, rc);
    EXPECT_EQ(10, window.Rect().left);
    EXPECT_EQ(20, window.Rect().top);
}

TEST_F(WindowPlaceTest, ShownFollowsShowWindow)
{
    TestWindow window("shown", 0, 0, 20, 20, WS_POPUP);
    EXPECT_EQ(0, IsWindowShown(window.hwnd));
    ShowWindow(window.hwnd, SW_SHOWNA);
    EXPECT_NE(0, IsWindowShown(window.hwnd));
    ShowWindow(window.hwnd, SW_HIDE);
    EXPECT_EQ(0, IsWindowShown(window.hwnd));
}

// GetDC and ReleaseDC watched: every context got goes back with its window.
static std::vector<std::pair<HWND, HDC>> DcsGot, DcsReleased;
static void* RealGetDC;
static void* RealReleaseDC;
static HDC WINAPI WatchGetDC(HWND window)
{
    HDC dc = ((HDC(WINAPI*)(HWND))RealGetDC)(window);
    if (dc)
        DcsGot.push_back({window, dc});
    return dc;
}
static int WINAPI WatchReleaseDC(HWND window, HDC dc)
{
    DcsReleased.push_back({window, dc});
    return ((int(WINAPI*)(HWND, HDC))RealReleaseDC)(window, dc);
}

TEST_F(WindowPlaceTest, DisplayModeIsTheScreens)
{
    HDC screen = GetDC(nullptr);
    int bits = GetDeviceCaps(screen, BITSPIXEL), width = GetDeviceCaps(screen, HORZRES),
        height = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    ASSERT_GT(bits, 0);
    ASSERT_TRUE(HookImport("user32.dll", "GetDC", (void*)WatchGetDC, &RealGetDC));
    ASSERT_TRUE(HookImport("user32.dll", "ReleaseDC", (void*)WatchReleaseDC, &RealReleaseDC));
    TestWindow owner("owner", 0, 0, 20, 20);
    HWND gone = TestWindow("gone", 0, 0, 10, 10).hwnd;
    for (HWND slot : {(HWND) nullptr, owner.hwnd, gone}) {
        SetOwnerWindow(slot);
        DcsGot.clear();
        DcsReleased.clear();
        int w = -7, h = -7;
        EXPECT_EQ(bits, GetDisplayMode(&w, &h)) << slot;
        EXPECT_EQ(width, w);
        EXPECT_EQ(height, h);
        EXPECT_EQ(DcsGot, DcsReleased);
    }
    RestoreImport((void*)WatchGetDC, RealGetDC);
    RestoreImport((void*)WatchReleaseDC, RealReleaseDC);
}

// A window of another thread in front; its thread handles messages until
// told to quit.
static DWORD WINAPI FrontThread(void* param)
{
    TestWindow front("front", 50, 50, 100, 100);
    SetForegroundWindow(front.hwnd);
    *(std::atomic<HWND>*)param = front.hwnd;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

// AttachThreadInput watched: each call's threads and flag.
static std::vector<std::vector<DWORD>> Attaches;
static void* RealAttachThreadInput;
static BOOL WINAPI WatchAttachThreadInput(DWORD thread, DWORD to, BOOL attach)
{
    Attaches.push_back({thread, to, (DWORD)attach});
    return ((BOOL(WINAPI*)(DWORD, DWORD, BOOL))RealAttachThreadInput)(thread, to, attach);
}

// The foreground window's thread is joined to this one for the switch, and
// the same joint is undone after it.
TEST_F(WindowPlaceTest, BringToFrontOverAnotherThread)
{
    TestWindow mine("mine", 200, 200, 100, 100);
    std::atomic<HWND> front{nullptr};
    DWORD thread_id = 0;
    HANDLE thread = CreateThread(nullptr, 0, FrontThread, &front, 0, &thread_id);
    ASSERT_TRUE(thread) << GetLastError();
    EXPECT_TRUE(WaitFor([&] { return front && GetForegroundWindow() == front; }));
    Attaches.clear();
    ASSERT_TRUE(HookImport("user32.dll", "AttachThreadInput", (void*)WatchAttachThreadInput,
                           &RealAttachThreadInput));
    BringWindowToFront(mine.hwnd);
    RestoreImport((void*)WatchAttachThreadInput, RealAttachThreadInput);
    DWORD self = GetCurrentThreadId();
    const std::vector<std::vector<DWORD>> want = {{thread_id, self, TRUE}, {thread_id, self, FALSE}};
    EXPECT_EQ(want, Attaches);
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == mine.hwnd; }));
    // No joint left behind: detaching the two threads again is refused.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AttachThreadInput(thread_id, GetCurrentThreadId(), FALSE));
    PostThreadMessageA(thread_id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
}
