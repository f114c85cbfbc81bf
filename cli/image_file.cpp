#include "cli/image_file.h"

#include "core/output_file.h"

std::string writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    OutputFile file(path, OutputKind::Conversion);
    if (file.isOpen()) {
        file.write(bytes.data(), bytes.size());
        file.commit();
    }
    return file.failure();
}
