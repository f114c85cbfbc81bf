#include "core/platform.h"

#include <cstring>

std::string composeMessage(const char* text, const char* name)
{
    std::string message(text);
    if (name) {
        std::string::size_type at = message.find("%s");
        if (at != std::string::npos) message.replace(at, 2, name);
    }
    return message;
}
