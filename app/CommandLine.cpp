#include "app/CommandLine.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

bool HasSwitch(const char* commandLine, char letter)
{
    if (!commandLine || !*commandLine)
        return false;
    const char* rest = commandLine;
    if (*rest == '-' || *rest == '/')
        ++rest;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    return std::strchr(rest, lower) != nullptr || std::strchr(rest, upper) != nullptr;
}

Role ChooseRole(const char* commandLine)
{
    if (HasSwitch(commandLine, 's'))
        return Role::Saver;
    if (HasSwitch(commandLine, 'p'))
        return Role::Preview;
    if (HasSwitch(commandLine, 'a'))
        return Role::ChangePassword;
    if (HasSwitch(commandLine, 'v'))
        return Role::Wallpaper;
    return Role::Settings;
}

long NumberAfterLetter(const char* commandLine, char letter)
{
    if (!commandLine)
        return 0;
    const char* at = std::strchr(commandLine, letter);
    if (!at)
        return 0;
    return std::strtol(at + 1, nullptr, 10);
}

bool OwnerNumberAfterC(const char* commandLine, long* number)
{
    if (!commandLine)
        return false;
    const char* at = std::strchr(commandLine, 'c');
    if (!at)
        return false;
    while (*at && !std::isdigit(static_cast<unsigned char>(*at)))
        ++at;
    if (!*at)
        return false;
    *number = std::strtol(at, nullptr, 10);
    return true;
}
