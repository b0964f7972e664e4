// The command line: role letters, window numbers, the owner number and the changer's requests.
#include "app/CommandLine.h"
#include "fuzz/FuzzSupport.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size); // stops at a zero, as the system's does
    const char* text = line.c_str();
    ChooseRole(text);
    for (char letter : {'s', 'p', 'a', 'c', 'v'}) {
        HasSwitch(text, letter);
        NumberAfterLetter(text, letter);
    }
    long owner = 0;
    OwnerNumberAfterC(text, &owner);
    ChangerRequestOf(text);
    return 0;
}
