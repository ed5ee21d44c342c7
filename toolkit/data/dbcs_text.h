#pragma once
// Scanning and cutting of 8-bit text in code page 932 (Shift-JIS), where a
// character is one byte or a lead byte followed by a second byte that may
// look like ASCII (0x5C, the backslash, among others). Every cut made here
// ends on a character boundary.

// Returns 1 when c opens a two-byte character of code page 932, else 0.
int DbcsIsLeadByte(unsigned char c);

// Returns the length in bytes of the character that starts at text: 1 or 2;
// 0 at the terminator, and 0 at a lead byte whose second byte is the
// terminator (half of a character cut elsewhere, which ends the text).
int DbcsCharLength(const char* text);

// Returns the length in bytes of the longest start of text that holds at most
// max_len bytes and ends on a character boundary. A lead byte at the very end
// of text, without its second byte (half of a character cut elsewhere), is
// left out.
int DbcsFitLength(const char* text, int max_len);

// Copies src into dst, which holds dst_size bytes (terminator included,
// dst_size >= 1): the longest start of src that fits and ends on a character
// boundary. Returns 1 when that is the whole text, 0 when anything was left
// out: the text did not fit, or it ends in a lone lead byte, which is never
// copied (so "a\x95" gives "a" and 0 whatever dst_size).
int DbcsCopyCut(char* dst, int dst_size, const char* src);

// Returns the last character c (a one-byte character) of text, or null when
// there is none. The second byte of a two-byte character never matches.
const char* DbcsFindLastChar(const char* text, char c);
