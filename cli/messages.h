#pragma once
// The command line's words for the conversions' messages: English, or the user's
// language where the message catalogue has it, on one line.
#include <string>
#include <vector>

#include "core/message.h"

// Binds the message catalogue: beside the program while it runs from its build folder,
// else in ../share/locale as installed; the language follows LC_ALL, LC_MESSAGES, LANG.
void openMessageCatalogue();

// The message's text in UTF-8, with its reason when it has one; the file it is about is
// not part of it.
std::string commandLineMessageText(const Message& message);

// `pattern` with `values` in place of its "%s" and "%d", in order, or in the order a
// translation gives ("%2$s" the second); "%%" is "%". Filled by hand, so that no
// catalogue can steer a formatting function.
std::string filledText(const char* pattern, const std::vector<std::string>& values);
