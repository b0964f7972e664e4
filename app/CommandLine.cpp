#include "app/CommandLine.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>

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

ChangerRequest ChangerRequestOf(const char* commandLine)
{
    if (!commandLine)
        return ChangerRequest::none;
    const char* at = commandLine;
    while (*at == ' ' || *at == '\t')
        ++at;
    if (*at != '/' && *at != '-')
        return ChangerRequest::none;
    ++at;
    const char* end = at;
    while (std::isalpha(static_cast<unsigned char>(*end)))
        ++end;
    for (const char* rest = end; *rest; ++rest)
        if (*rest != ' ' && *rest != '\t')
            return ChangerRequest::none;
    const std::string word(at, end);
    struct Known {
        const char* name;
        ChangerRequest request;
    };
    static const Known known[] = {{"next", ChangerRequest::next}, {"previous", ChangerRequest::previous},
                                  {"pause", ChangerRequest::pause}, {"resume", ChangerRequest::resume}};
    for (const Known& k : known)
        if (word.size() == std::strlen(k.name)
            && std::equal(word.begin(), word.end(), k.name, [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == b;
               }))
            return k.request;
    return ChangerRequest::none;
}
