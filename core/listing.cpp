#include "core/listing.h"

#include <cstring>
#include <string>

#include "core/loaded_data.h"
#include "core/output_file.h"
#include "core/output_folder.h"
#include "core/tables.h"

namespace {

enum {
    NameOffset = 10,
    NameLength = 6,
    FirstLineOffset = 16,
    LineHeadLength = 4,  // link and line number
    DoubleQuote = 0x22,
};

// Listings are read on Windows, so the file is written as the Windows text mode writes
// it on every platform: opened in binary, with every line feed byte written as CR LF,
// the writer's own line ends and a line feed that a character table entry holds alike.
const char LineEnd[] = "\n";

struct ListingOutput {
    OutputFile& file;
    unsigned long long written;
};

void writeBytes(ListingOutput& out, const char* bytes, size_t length)
{
    if (length == 0) return;
    out.file.write(bytes, length);
    out.written += length;
}

void writeText(ListingOutput& out, const char* text, size_t length)
{
    const char* end = text + length;
    for (const char* feed; (feed = static_cast<const char*>(std::memchr(text, '\n', end - text)));
         text = feed + 1) {
        writeBytes(out, text, static_cast<size_t>(feed - text));
        writeBytes(out, "\r\n", 2);
    }
    writeBytes(out, text, static_cast<size_t>(end - text));
}

void writeText(ListingOutput& out, const char* text) { writeText(out, text, std::strlen(text)); }

void writeCharacter(ListingOutput& out, unsigned code) { writeText(out, characterText(code), 2); }

// Full-width digits ０ to ９, then the full-width space that parts the number from the body.
void writeLineNumber(ListingOutput& out, unsigned number)
{
    char text[2 * 5 + 2];
    char* digit = text + sizeof text - 2;
    text[sizeof text - 2] = '\x81';
    text[sizeof text - 1] = '\x40';
    do {
        digit -= 2;
        digit[0] = '\x82';
        digit[1] = static_cast<char>(0x4F + number % 10);
        number /= 10;
    } while (number != 0);
    writeText(out, digit, static_cast<size_t>(text + sizeof text - digit));
}

// One line's body, from just behind its number up to its closing 0x00 or the image's end.
// Returns the position of the byte that stopped it.
size_t writeLineBody(ListingOutput& out, const TapeImage& image, size_t position)
{
    bool literal = false;
    bool graphicPending = false;
    for (; position < image.count && image.bytes[position] != 0x00; ++position) {
        unsigned b = image.bytes[position];
        if (b < 0x20) {
            if (b == GraphicPrefix)
                graphicPending = true;
            else
                writeText(out, controlText(b));
            continue;
        }
        if (graphicPending)
            writeText(out, graphicCharacterText(b), 2);
        else if (literal || b < 0x80)
            writeCharacter(out, b);
        else
            writeText(out, keywordText(b));
        if (b == DoubleQuote)
            literal = !literal;
        else if (b == DataToken || b == RemToken)
            literal = true;
        graphicPending = false;
    }
    return position;
}

void writeListing(ListingOutput& out, const TapeImage& image)
{
    writeText(out, "FILENAME = ");
    for (size_t i = NameOffset; i < NameOffset + NameLength && i < image.count; ++i)
        writeCharacter(out, image.bytes[i]);
    for (int i = 0; i < 3; ++i) writeText(out, LineEnd);

    // A line head needs its link and number inside the image; a shorter rest ends the
    // listing, as do three zero bytes where a line would start.
    size_t position = FirstLineOffset;
    while (position < image.count && image.count - position >= LineHeadLength) {
        const uint8_t* head = image.bytes + position;
        if (head[0] == 0x00 && head[1] == 0x00 && head[2] == 0x00) break;
        writeLineNumber(out, head[2] | (static_cast<unsigned>(head[3]) << 8));
        position = writeLineBody(out, image, position + LineHeadLength);
        writeText(out, LineEnd);
        ++position;  // the 0x00 that ended the line
    }
}

// The image's name with its last two characters, "p6", turned into "txt".
std::string listingPathFor(const char* tapeImagePath)
{
    std::string path(tapeImagePath);
    path.resize(path.size() >= 2 ? path.size() - 2 : 0);
    return placeOutput(path + "txt");
}

bool refuseListing(WindowHandle window, const std::string& listingPath, const OutputFile& file)
{
    showArrowCursor();
    showWriteFailure(window, MessageId::CannotWrite, listingPath.c_str(), file.failure());
    return false;
}

}  // namespace

bool writeBasicListing(WindowHandle window, const char* tapeImagePath)
{
    showWaitCursor();
    std::string listingPath = listingPathFor(tapeImagePath);
    OutputFile file(listingPath, OutputKind::Conversion);
    if (!file.isOpen()) return refuseListing(window, listingPath, file);

    ListingOutput out = {file, 0};
    writeListing(out, currentTapeImage());
    if (!file.commit()) return refuseListing(window, listingPath, file);

    showArrowCursor();
    reportFileWritten(tapeImagePath, listingPath.c_str(), out.written, "bytes");
    return true;
}
