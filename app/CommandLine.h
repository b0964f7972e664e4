// Reading the command line: role letters and window numbers (portable).
#pragma once

enum class Role { Saver, Preview, ChangePassword, Wallpaper, Settings };

// True when the letter is present: after one leading '-' or '/', anywhere in the rest of the
// line, lower case first, then upper case. An empty line has no switch.
bool HasSwitch(const char* commandLine, char letter);

// The role of the process: the first of s, p, a, v that HasSwitch finds, else Settings.
Role ChooseRole(const char* commandLine);

// The number after the first lower-case occurrence of the letter, by the C decimal conversion
// (leading white space, optional sign, digits up to the first non-digit); 0 when the letter is
// absent or no number follows.
long NumberAfterLetter(const char* commandLine, char letter);

// The settings role's owner number: from the first lower-case 'c', the first decimal digit and
// what follows it. False when there is no 'c' or no digit after it.
bool OwnerNumberAfterC(const char* commandLine, long* number);

// A request to the running wallpaper changer: the whole command line is one of "/next",
// "/previous", "/pause" or "/resume" (or with '-'), in any case, blanks around it allowed.
// These are read before the role letters, which would take them for roles.
enum class ChangerRequest { none, next, previous, pause, resume };
ChangerRequest ChangerRequestOf(const char* commandLine);
