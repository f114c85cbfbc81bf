#include "core/output_folder.h"

std::string outputFolder;

std::string placeOutput(const std::string& besideInput)
{
    if (outputFolder.empty()) return besideInput;
    std::string::size_type slash = besideInput.rfind('/');
    std::string last = slash == std::string::npos ? besideInput : besideInput.substr(slash + 1);
    return outputFolder + (outputFolder.back() == '/' ? "" : "/") + last;
}
