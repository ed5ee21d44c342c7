#pragma once
// Numbers as short texts and back: a strict decimal reader, two formatters
// with an optional fixed width, a run of spaces for columns, and conversions
// between single-byte digits and the full-width digits of code page 932
// (0x82 0x4F "０" to 0x82 0x58 "９").
//
// The formatters, SpaceText and the two conversions answer with a buffer of
// their own module: valid until the same operation is called again, never to
// be freed or written by the caller.

// Returns the value of text, an optional "-" and decimal digits only, wrapped
// to 32 bits ("4294967297" gives 1); 0 for a null, empty or invalid text
// (a lone "-", "+5", " 5", "12a").
int DecToInt(const char* text);

// Returns value as "%d" when fixed_width is 0, else "%016d" when zero_fill is
// nonzero, else "%16d" (the width is a minimum: at most 16 characters).
const char* FormatNumber16(int value, int zero_fill, int fixed_width);

// Returns value as "%d", "%02d" or "%2d", chosen as FormatNumber16 chooses
// (at most 11 characters).
const char* FormatNumber2(int value, int zero_fill, int fixed_width);

// Returns a text of length spaces; length is clamped to 0..15.
const char* SpaceText(int length);

// Returns the single-byte form of the full-width characters that open text:
// digits become "0"-"9", capitals "A"-"Z", small letters "a"-"z". Stops at any
// other character (or half character) and after 10 characters. A null text
// gives the empty text.
const char* WideDigitsToAscii(const char* text);

// Returns the full-width form of the digits "0"-"9" that open text, at most
// 10 of them (20 bytes); stops at the first other character. A null text
// gives the empty text.
const char* AsciiDigitsToWide(const char* text);
