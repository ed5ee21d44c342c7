#pragma once
// The operating system's version: a copy of the platform's version record, a
// test for the NT family from version 5 on, a kind code and a one-line report
// that names the system. Every query asks the system afresh into one shared
// record; when the system refuses, the previous answer (zeros at first) is
// used.

#include <windows.h>

// Size of the report text: 127 bytes and the terminator. A longer report is
// cut there, never inside a two-byte character.
const int OsVersionTextSize = 128;

// Kind codes: the band of the major version, with OsKindOtherFamily set for
// the family that is not NT.
const int OsKindOtherFamily = 0x100;

// Refreshes the shared record and copies it into *info. Returns info, or null
// (asking nothing, touching nothing) when info is null.
OSVERSIONINFOA* GetOsVersion(OSVERSIONINFOA* info);
// Returns 1 when the system is of the NT family with major version 5 or more.
int IsNt5OrLater();
// Returns 1 on Windows 95, 98 and Me, 0 on the NT family: the high bit of
// GetVersion, which every Windows exports (no record that the system may
// refuse, no error code that the two families give alike). Inline, so that
// a program that asks nothing else of this module links nothing else of it.
inline int IsWindows9x() { return (GetVersion() & 0x80000000) != 0; }
// Returns the system's kind code (see OsKindOf).
int GetOsKind();
// Returns the report text in a shared buffer, valid until the next call.
const char* GetOsVersionText();

// The same decisions for a given record.
int IsNt5OrLaterOf(const OSVERSIONINFOA* info);
// NT: 0 up to major 4, 1 for 5, 2 for 6, 3 from 7. Other family: 0x100 up to
// major 2, 0x101 for 3, 0x102 for 4, 0x104 from 5.
int OsKindOf(const OSVERSIONINFOA* info);
// The report's format for the record: the system's name, then the major and
// minor version, the build number and the service-pack text, and one space.
const char* OsVersionFormatOf(const OSVERSIONINFOA* info);
// Formats the report for the record into text (OsVersionTextSize bytes).
void FormatOsVersion(const OSVERSIONINFOA* info, char* text);
