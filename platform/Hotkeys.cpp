#include "platform/Hotkeys.h"

#include "framework/WideText.h"

#include <commctrl.h>

namespace platform {

namespace {
// Held keys repeat no hotkey (Windows 7 on; earlier systems refuse the flag).
constexpr UINT kNoRepeat = 0x4000;
} // namespace

UINT HotkeyModifiers(int value)
{
    const int flags = (value >> 8) & 0xFF;
    UINT modifiers = 0;
    if (flags & HOTKEYF_ALT)
        modifiers |= MOD_ALT;
    if (flags & HOTKEYF_CONTROL)
        modifiers |= MOD_CONTROL;
    if (flags & HOTKEYF_SHIFT)
        modifiers |= MOD_SHIFT;
    return modifiers;
}

UINT HotkeyKey(int value)
{
    return static_cast<UINT>(value & 0xFF);
}

std::string HotkeyName(int value)
{
    std::string name;
    const int flags = (value >> 8) & 0xFF;
    if (flags & HOTKEYF_CONTROL)
        name += "Ctrl+";
    if (flags & HOTKEYF_ALT)
        name += "Alt+";
    if (flags & HOTKEYF_SHIFT)
        name += "Shift+";
    // The key's name from the keyboard layout; keys of the extended set (the arrows, Insert,
    // Delete, Home, End, Page Up and Down) need the extended flag to be named apart from the
    // number pad's.
    const UINT key = HotkeyKey(value);
    LONG scan = static_cast<LONG>(::MapVirtualKeyW(key, 0)) << 16;
    if (flags & HOTKEYF_EXT)
        scan |= 1L << 24;
    wchar_t text[64] = L"";
    if (::GetKeyNameTextW(scan, text, 64) > 0)
        name += Utf8(text);
    else
        name += "key " + std::to_string(key);
    return name;
}

bool RegisterHotkey(HWND window, int id, int value)
{
    if (HotkeyKey(value) == 0)
        return false;
    const UINT modifiers = HotkeyModifiers(value);
    return ::RegisterHotKey(window, id, modifiers | kNoRepeat, HotkeyKey(value))
        || ::RegisterHotKey(window, id, modifiers, HotkeyKey(value));
}

} // namespace platform
