// Messages on standard error, all in the form "canxlate: ...".
#pragma once

#include <string_view>

namespace canxlate::cli {

void reportError(std::string_view message);

// A wrong invocation: the message and a pointer to the command's help.
void reportUsageError(std::string_view command, std::string_view message);

}  // namespace canxlate::cli
