#pragma once
// Modal choosers of a file to open, a file name to save under and a folder,
// each one call on the caller's thread. The two file choosers share a starting
// folder and a default extension held here, which can be kept in the current
// user's registry under "SoftWare\<app_key>" as the texts "defdir" and
// "defext". Texts are code page 932.

#include <windows.h>
#include <shlobj.h>

// Size of the chooser paths (the platform's path limit): 259 bytes and the terminator.
const int ChooserPathSize = 260;
// Size of the default extension: 7 bytes and the terminator, given without the point.
const int ChooserExtSize = 8;

// Starting folder of both file choosers; empty lets the platform choose.
extern char ChooserDefDir[ChooserPathSize];
// Default extension that the save chooser appends to a name typed without one.
extern char ChooserDefExt[ChooserExtSize];
// Full path chosen in the last successful open chooser.
extern char OpenFileResult[ChooserPathSize];
// Full path chosen in the last successful save chooser.
extern char SaveFileResult[ChooserPathSize];

// Shows the open chooser at ChooserDefDir with an empty name; only an existing
// file is accepted. filter is the platform's list of description and pattern
// pairs, each text ended by a zero and the list by one more. Returns
// OpenFileResult, or null on cancel or failure (the buffer is then emptied).
// May change the current folder.
char* ChooseOpenFile(HWND owner, const char* filter);
// As ChooseOpenFile for a name to save under, with ChooserDefExt as the
// default extension and no question about replacing an existing file.
// Returns SaveFileResult, or null.
char* ChooseSaveFile(HWND owner, const char* filter);

// Shows the folder chooser with the folder that path names selected; path
// holds at least ChooserPathSize bytes. Returns 1 and the chosen folder's full
// path in path (at most ChooserPathSize bytes written), or 0 on cancel or when
// the choice has no file-system path, path untouched. A text in path that does
// not end within ChooserPathSize bytes is not read further and the chooser
// starts without a selection. One folder chooser at a time.
int ChooseFolder(HWND owner, char* path);
// The folder chooser's callback: selects the starting folder once the chooser
// is initialised. Answers 0.
int CALLBACK ChooseFolderCallback(HWND hwnd, UINT msg, LPARAM lparam, LPARAM data);
// Releases an item list that the folder chooser returned, through the shell's
// allocator; nothing happens when the allocator cannot be had.
void FreeItemList(LPITEMIDLIST list);

// Stores path as ChooserDefDir, cut on a character boundary when longer than
// 259 bytes. With cut nonzero the text from the last backslash on is removed,
// so that a file's path leaves its folder; the second byte of a two-byte
// character is never taken for a backslash. path may be ChooserDefDir itself.
void SetChooserDefDir(const char* path, int cut);
// Stores ext as ChooserDefExt, cut on a character boundary after 7 bytes.
void SetChooserDefExt(const char* ext);

// Selects the registry key "SoftWare\<app_key>" (the selection stays for later
// registry calls) and reads "defdir" and "defext" into the defaults, cut as the
// setters cut. A missing key or value, or one longer than 1,023 bytes, leaves
// its default as it was.
void LoadChooserDefaults(const char* app_key);
// Selects the same key and writes the defaults as "defdir" and "defext",
// creating the key when missing.
void SaveChooserDefaults(const char* app_key);
