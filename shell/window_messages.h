#pragma once
// The window's words for the conversions' messages: code page 932, as the message boxes
// have always shown them.
#include <string>

#include "core/message.h"

std::string windowMessageText(const Message& message);
