#pragma once
// Case copies, comparisons and a token scanner over zero-terminated texts in
// code page 932. Only single-byte letters A-Z and a-z change case; both bytes
// of a two-byte character stay as they are, and every search matches only
// where a character starts, so the second byte of a two-byte character (which
// may look like "A" or "\") is never taken for a character of its own.

// Position of ScanToken: where the last call stopped, on the delimiter or the
// terminator; null until ScanToken is first called with a text.
extern const char* TokenCursor;

// Copies text into dst in lower case, terminator included. dst holds at least
// strlen(text) + 1 bytes; it may be text itself.
void LowerCopy(char* dst, const char* text);
// The same in upper case.
void UpperCopy(char* dst, const char* text);

// Returns <0, 0 or >0 as strcmp of the lower-case copies of text1 and text2
// would (bytes taken as unsigned), for texts of any length; copies nothing.
int CompareNoCase(const char* text1, const char* text2);

// Returns 0 when text starts with prefix (an empty prefix always), else the
// strncmp result over the prefix's length.
int ComparePrefix(const char* text, const char* prefix);

// Returns 1 when part occurs in text starting where a character of text
// starts, else 0. An empty part gives 1.
int ContainsText(const char* text, const char* part);

// Scans one token: the characters up to the delimiter or the end. A delimiter
// up to 255 is one byte; above, bits 8-15 are the first and bits 0-7 the
// second byte of a two-byte character (0x8140 is the full-width space). The
// delimiter matches only where a character starts.
// With a text the scan starts at its beginning; with text null it continues
// behind the delimiter on which the previous call stopped. out, when not null,
// receives the token and a terminator (a token is never longer than its text).
// Returns the token's length in bytes; 0 with an empty token at the end of the
// text, and 0 without touching anything before any call with a text.
int ScanToken(char* out, const char* text, unsigned int delimiter);
