#pragma once
// The parts of a path held as text in code page 932: extension, file name,
// folder, and a split of a formatted path into a record. Nothing here touches
// the file system. Every search goes forward by characters, so the second
// byte of a two-byte character (表 is 0x95 0x5C) is never taken for a "\".

// The parts of one path, each zero-terminated and cut on a character boundary.
struct FileInfo {
    char folder[260];     // drive followed by dir
    char file_name[260];  // fname followed by ext
    char drive[3];        // "X:" or empty
    char dir[256];        // the folders up to and including the last separator
    char fname[256];      // the name behind the last separator, without ext
    char ext[256];        // the extension with its dot, or empty
};

// Returns the extension of the file name in text (behind its last "\" as
// FindFileName finds it): the byte behind the name's last dot, or null when
// the name has no dot. A dot in the very first byte of text does not count
// (".profile": null), but a name further on that starts with a dot has its
// extension behind that dot ("C:\proj\.gitignore": "gitignore"; "\.profile":
// "profile", since a "\" in the first byte does not separate). Dots in
// folder names never count ("a.b\c": null), so that ReplaceExtension never
// cuts a path inside a folder name.
const char* FindExtension(const char* text);

// Returns the byte behind the last "\" of text, or null when there is none; a
// "\" in the very first byte does not count.
const char* FindFileName(const char* text);

// Copies src (when not null) into dst, then writes ext (null counts as empty)
// over the extension that FindExtension finds, keeping the dot. Returns dst, or
// null when there is no extension (dst then holds its text unchanged). dst
// holds the text and the new extension; src may be dst itself.
char* ReplaceExtension(char* dst, const char* src, const char* ext);

// Copies src (when not null) into buf, then ends the text at its last "\" as
// FindFileName finds it: "C:\work\data.bin" becomes "C:\work". Returns buf, or
// null when buf is null or there is no such "\" (the text is then unchanged).
// buf holds the text; src may be buf itself.
char* CutFileName(char* buf, const char* src);

// Formats a path (wsprintfA dialect, at most 1,023 bytes) and splits it into
// info, or into a record of its own when info is null, and returns a copy of
// that record. Both "\" and "/" separate, an "X:" prefix is the drive, the
// extension runs from the last dot of the name; drive, dir, fname and ext are
// cut at 2, 255, 255 and 255 bytes, folder and file_name at 259. A null format
// gives the empty path.
FileInfo SplitFormattedPath(FileInfo* info, const char* format, ...);
