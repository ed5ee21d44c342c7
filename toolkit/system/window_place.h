#pragma once
// Top-level windows and the display: finding the volume-control window,
// bringing a window to the foreground, moving or centring a window, and
// reading positions, visibility and the display mode. Positions are screen
// coordinates of a window's outer rectangle. Centring and the display query
// measure against the owner window of message_box.h (SetOwnerWindow).

#include <windows.h>

// The titles FindVolumeControlWindow tries, in order (code page 932).
const int VolumeControlTitleCount = 7;
extern const char* const VolumeControlTitles[VolumeControlTitleCount];

// Returns the first top-level window, of any class, whose whole title is one
// of VolumeControlTitles, trying them in order; null when none exists.
HWND FindVolumeControlWindow();

// Makes window the foreground window, joining this thread's input to that of
// the current foreground window's thread for the moment of the switch. The
// joint is undone only when this call made it: when the attach is refused
// (no foreground window, or one of this thread) nothing is detached, so a
// joint made elsewhere between the same threads is never taken apart.
void BringWindowToFront(HWND window);

// Moves window's outer top-left corner to (x, y), keeping its size and its
// place in the stacking order. When x or y is negative, both are dropped and
// the window is centred over the owner window, or over the primary screen's
// work area when there is no owner window (or it no longer exists). Returns
// nonzero when the window was moved, 0 when not (nothing is moved when the
// window's own rectangle cannot be read).
int PlaceWindow(HWND window, int x, int y);
// The same as PlaceWindow.
int MoveWindowTo(HWND window, int x, int y);

// Writes window's left and top edges into *left and *top (either may be
// null). When the window does not exist, neither destination is touched.
void GetWindowPlace(HWND window, int* left, int* top);

// Returns nonzero when window is visible, 0 when not.
int IsWindowShown(HWND window);

// Writes the display's width and height in pixels into *width and *height
// (either may be null) and returns its colour depth in bits per pixel. Asks
// the owner window's device context, or the screen's when there is no owner
// window or it no longer exists. Returns 0, touching neither destination,
// when no device context can be had at all.
int GetDisplayMode(int* width, int* height);
