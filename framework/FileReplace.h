// Replacing a file in one step (portable header; FileReplaceWin32.cpp or FileReplacePosix.cpp,
// chosen by the build, implements it).
#pragma once

// Moves the file `from` over `to`, which may or may not exist, in one step: a reader of `to`
// finds either the old file whole or the new one, never no file and never a mixture. `from`
// must lie in the same folder (or at least on the same volume) as `to`; write it completely and
// close it first. The new file's bytes are pushed to the disk before the move.
// Returns true when `to` now holds the new file. On failure `to` is left exactly as it was and
// `from` is deleted, so no stray copy is left behind; the function returns false.
// On Windows a file held open for a moment (a virus scanner looking at the new file, a reader
// of the old one) is retried for a short while before giving up.
bool ReplaceFileAtomically(const char* from, const char* to);
