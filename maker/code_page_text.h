#pragma once
// Wide text into an 8-bit code page: exactly, as the updater needs its names
// (no best fit: "café" must not quietly become "cafe"), or for showing, with
// a stand-in where the code page has no exact form.

#include <windows.h>

// What is shown for a character that the code page cannot hold. A question
// mark cannot stand in a Windows file name, so it is never mistaken for one
// of the name's own characters.
const char StandIn = '?';

// Texts longer than WidePathChars characters are never exact.

// Writes text into out (out_size bytes, terminator included) in code_page,
// but only when every character has an exact form there: converting back
// gives text again. Returns the length in bytes; -1 when a character has no
// exact form or the result does not fit out_size (out then holds "").
int ToCodePageExact(UINT code_page, const WCHAR* text, char* out, int out_size);

// Writes the len characters of text into out (out_size bytes, terminator
// included) in code_page, each character without an exact form there
// written as StandIn; a pair of surrogates is one character. Stops before a
// character that does not fit. Returns the length in bytes; *stand_ins gets
// the number of characters replaced.
int ToCodePageShown(UINT code_page, const WCHAR* text, int len, char* out, int out_size,
                    int* stand_ins);
