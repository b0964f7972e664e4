// Global hotkeys as the system's hotkey control gives them: the virtual key in the low byte,
// HOTKEYF_ modifier flags in the next byte; 0 is no hotkey.
#pragma once
#include <windows.h>

#include <string>

namespace platform {

// The RegisterHotKey modifiers and key of a hotkey control's value.
UINT HotkeyModifiers(int value);
UINT HotkeyKey(int value);
// How the user reads it: "Ctrl+Alt+Right" (the key's name from the keyboard layout).
std::string HotkeyName(int value);
// Registers the hotkey for the window under id (held keys do not repeat it where the system
// can say so). False when another program holds the combination, or for no hotkey.
bool RegisterHotkey(HWND window, int id, int value);

} // namespace platform
