// Rewrites docs/program_structure.md: what the check of a BASIC program's structure
// adds to `hibarion --robust` on recordings of programs that decode with errors.
//
//   build/host/hibarion_structure_table docs/program_structure.md
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/tables.h"
#include "signal/program_structure.h"
#include "signal/recording_file.h"
#include "tokenizer/tokenizer.h"
#include "tools/files.h"
#include "tools/impairments.h"
#include "tools/signal_synthesis.h"

// The decoder's progress goes nowhere here.
void reportProgress(unsigned long long, unsigned long long) {}

namespace {

typedef std::vector<uint8_t> Bytes;

const int programCount = 10;
const int linesPerProgram = 150;
const int rate = 11025;

const char* const statements[] = {
    "PRINT \"SCORE\";S",
    "FOR I=1 TO 20:NEXT I",
    "IF A>B THEN GOTO 100",
    "A=A+1:B=B*2",
    "REM THE MAIN LOOP",
    "DATA 1,2,3,40,500",
    "LOCATE X,Y:PRINT \"*\"",
    "GOSUB 1000",
    "C$=INKEY$:IF C$=\"\" THEN 30",
    "X=RND(1)*32:Y=RND(1)*16",
    "CLS",
    "RETURN",
};

// A program of `linesPerProgram` lines, numbered in tens, of statements chosen by `seed`.
Bytes program(unsigned seed)
{
    std::mt19937 random(seed);
    std::string text;
    for (int line = 1; line <= linesPerProgram; ++line) {
        text +=
            std::to_string(line * 10) + " " + statements[random() % (sizeof statements / sizeof *statements)];
        if (random() % 2)
            text += std::string(":") + statements[random() % (sizeof statements / sizeof *statements)];
        text += "\n";
    }
    Bytes image;
    TokenizeProblem problem;
    if (!tokenizeProgram(text, "table", nullptr, DefaultCharacterTable, image, problem)) {
        std::fprintf(stderr, "hibarion_structure_table: %s\n", problem.text.c_str());
        std::exit(1);
    }
    return image;
}

struct Row {
    const char* label;
    std::function<Bytes(const Bytes& image, unsigned seed)> recording;
};

Bytes noisy(const Bytes& image, double snr, unsigned seed)
{
    Bytes samples = synthesizeTapeSignal(image, rate);
    addWhiteNoise(samples, snr, seed);
    return makeWaveFile(samples, rate);
}

Bytes withDropouts(const Bytes& image, double seconds, double every)
{
    Floats samples = synthesizeTapeFloats(image, rate);
    addDropouts(samples, rate, seconds, every);
    return makeWaveFile(toUnsigned8(samples), rate);
}

// The longest common subsequence of the two: the bytes that match in order.
size_t bytesInOrder(const Bytes& a, const Bytes& b)
{
    std::vector<uint32_t> previous(b.size() + 1, 0), current(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j)
            current[j] = a[i - 1] == b[j - 1] ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
        previous.swap(current);
    }
    return previous[b.size()];
}

struct Tally {
    uint64_t total = 0, rightDecoded = 0, rightChecked = 0;
    int exactDecoded = 0, exactChecked = 0;
    int repaired = 0, repairedRight = 0, repairedWrong = 0;
    // Of the images decoded at their own length: the wrong bytes, and which were named.
    int wrong = 0, byDecoder = 0, byStructure = 0, unnamed = 0;
};

void tallyImage(Tally& t, const Bytes& image, const RecordingDecoding& decoding)
{
    Bytes checked = decoding.bytes;
    std::vector<StructureFinding> findings = checkProgramStructure(checked);
    t.total += std::max(image.size(), checked.size());
    t.rightDecoded += bytesInOrder(image, decoding.bytes);
    t.rightChecked += bytesInOrder(image, checked);
    t.exactDecoded += decoding.bytes == image;
    t.exactChecked += checked == image;
    // Each repair alone, judged by the bytes in order it gains or loses.
    const size_t before = bytesInOrder(image, decoding.bytes);
    for (const StructureFinding& f : findings)
        if (f.repaired) {
            Bytes one = decoding.bytes;
            one[f.byte] = checked[f.byte];
            const size_t after = bytesInOrder(image, one);
            ++t.repaired;
            t.repairedRight += after > before;
            t.repairedWrong += after < before;
        }
    const bool aligned = checked.size() == image.size();
    if (!aligned) return;
    std::vector<bool> named(image.size(), false), structure(image.size(), false);
    for (const SuspectRange& r : decoding.suspects)
        for (uint32_t k = r.firstByte; k <= r.lastByte; ++k) named[k] = true;
    for (const StructureFinding& f : findings) structure[f.byte] = !f.repaired;
    for (size_t k = 0; k < image.size(); ++k) {
        if (decoding.bytes[k] == image[k]) continue;
        ++t.wrong;
        if (named[k])
            ++t.byDecoder;
        else if (structure[k] || checked[k] == image[k])
            ++t.byStructure;
        else
            ++t.unnamed;
    }
}

std::string share(uint64_t right, uint64_t total, int exact)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %% (%d/%d)",
                  total ? static_cast<int>(1000.0 * right / total) / 10.0 : 0.0, exact, programCount);
    return text;
}

const char introduction[] =
    "# What a program's own structure adds to --robust\n"
    "\n"
    "Written by `hibarion_structure_table`, which the host build makes beside `hibarion`;\n"
    "rerun `build/host/hibarion_structure_table docs/program_structure.md` to rewrite it.\n"
    "\n"
    "When a decoded image is a BASIC program (ten 0xD3, a six-byte name, lines linked from\n"
    "0x8001, each ending in 0x00, three 0x00 at the end), `--robust` checks the bytes\n"
    "against that structure: each link must point just past its line's closing 0x00, and\n"
    "line numbers ascend. A byte that breaks this is suspect with the reason `structure`\n"
    "even where the signal sounded clean. A byte that the structure alone determines (one\n"
    "of the ten 0xD3, a link, the end's zeros) is set to that value and reported as\n"
    "`repaired byte K (structure)`. Nothing else is changed:\n"
    "\n"
    "- an image is taken for a program only when at least eight of its ten header bytes\n"
    "  are 0xD3 and the chain of links leads from the first line to the end, with at most\n"
    "  one damaged place and one more for each four lines; anything else is left alone;\n"
    "- a link is repaired only where the line before it is whole and the line after it\n"
    "  is too, one of its two bytes still agrees, and the line it makes holds no other\n"
    "  line's head (two hits in one line: its closing 0x00 was hit as well, and the\n"
    "  repair would merge two lines); where all later links disagree by the same count,\n"
    "  bytes were lost or gained in that line: it is flagged, and no link is changed;\n"
    "- where the link wins over a 0x00 in the body (or a missing closing 0x00), that byte\n"
    "  is flagged, not changed; so is a line number that breaks the ascending order;\n"
    "- the header bytes are repaired only where the first line stands at its place, and\n"
    "  the end's zeros only where the last line's link leads to them; at the last line a\n"
    "  wrong link and a few lost bytes look alike, so its link is repaired only when it\n"
    "  points where no line could end.\n"
    "\n"
    "**Recordings.** Each row decodes %d programs of %d lines of tokenized BASIC each\n"
    "(about 3 KB), recorded at %d samples a second in 8 bits and damaged as named, with\n"
    "fixed seeds. *Bytes right* counts as in [robustness.md](robustness.md): the bytes in\n"
    "order, over the longer length, and in brackets the images exactly right: as the\n"
    "decoder gave them, and after the check. *Repaired*: bytes the check set; *right*\n"
    "and *wrong*: those that, each alone, gain or lose bytes in order (a repair that\n"
    "does neither counts in neither).\n"
    "The last four columns count, in the images decoded at their own length, the wrong\n"
    "bytes and which of them were named: suspect by the decoder, suspect or repaired by\n"
    "the structure alone, or by neither.\n"
    "\n"
    "| recording | bytes right, decoded | after the check | repaired | right | wrong | wrong bytes | "
    "decoder | structure | neither |\n"
    "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: hibarion_structure_table [OUTPUT.md]\n");
        return 2;
    }
    const std::vector<Row> rows = {
        {"noise at 6 dB", [](const Bytes& image, unsigned seed) { return noisy(image, 6.0, seed); }},
        {"noise at 4 dB", [](const Bytes& image, unsigned seed) { return noisy(image, 4.0, seed); }},
        {"noise at 3 dB", [](const Bytes& image, unsigned seed) { return noisy(image, 3.0, seed); }},
        {"dropouts of 8 ms every 1.5 s",
         [](const Bytes& image, unsigned) { return withDropouts(image, 0.008, 1.5); }},
    };
    char text[8192];
    std::snprintf(text, sizeof text, introduction, programCount, linesPerProgram, rate);
    std::string document = text;
    for (const Row& row : rows) {
        Tally t;
        for (int k = 0; k < programCount; ++k) {
            const Bytes image = program(100 + k);
            const Bytes wave = row.recording(image, 200 + k);
            tallyImage(t, image, decodeRecordingInMemory(wave.data(), wave.size(), 0));
        }
        std::snprintf(text, sizeof text, "| %s | %s | %s | %d | %d | %d | %d | %d | %d | %d |\n", row.label,
                      share(t.rightDecoded, t.total, t.exactDecoded).c_str(),
                      share(t.rightChecked, t.total, t.exactChecked).c_str(), t.repaired, t.repairedRight,
                      t.repairedWrong, t.wrong, t.byDecoder, t.byStructure, t.unnamed);
        document += text;
    }

    return writeDocument("hibarion_structure_table", argc, argv, document);
}
