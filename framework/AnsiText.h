// The system's ANSI code page, in which the library file's 8-bit strings are stored (portable
// header; AnsiTextWin32.cpp or AnsiTextPortable.cpp, chosen by the build, implements it). On
// Windows it is the active code page; elsewhere Windows-1252, as on an English Windows.
#pragma once
#include <string>

// Converts 8-bit text in the ANSI code page to UTF-8. Bytes that are not valid in the code
// page (a lone lead byte of a double-byte code page) become U+FFFD; returns false when that
// happened.
bool Utf8FromAnsi(const std::string& ansi, std::string& utf8);

// Converts UTF-8 to the ANSI code page when every character has its own exact byte form there
// (no default character, no look-alike), so that Utf8FromAnsi gives `utf8` back; returns false,
// with `ansi` unspecified, otherwise (and for text that is not UTF-8).
bool AnsiFromUtf8Exactly(const std::string& utf8, std::string& ansi);
