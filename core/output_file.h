#pragma once
// Files are never half-written: an output goes to a temporary file beside its target and
// takes the target's place only once it is complete and on the device. On any failure
// the temporary is removed and an existing target stays exactly as it was.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/platform.h"

// The command line's watch over the conversions' outputs; the Windows program has none
// and replaces outputs as it always did.
class OutputGuard {
public:
    virtual ~OutputGuard() = default;
    // Why the conversion output `target` must not be written now; empty when it may.
    virtual std::string refusal(const std::string& target) const = 0;
    // The conversion output `target` has just been written.
    virtual void written(const std::string& target) = 0;
};
extern OutputGuard* outputGuard;  // null: none

// Set by the command line: a message about a file that could not be written ends in the
// reason. The window's message boxes keep their texts.
extern bool explainWriteFailures;

enum class OutputKind { Conversion, Settings };

class OutputFile {
public:
    // Opens a temporary for `target`; isOpen() tells whether that worked.
    OutputFile(const std::string& target, OutputKind kind);
    ~OutputFile();  // removes the temporary unless commit() put it in place
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const { return stream_ != nullptr; }
    // The open stream, for formatted output; a failure shows in commit().
    FILE* stream() const { return stream_; }
    void write(const void* bytes, size_t count);
    void put(uint8_t byte);
    // Whether the file can be sought back, as a pipe cannot.
    bool isSeekable() const;
    bool seekToStart();

    // Flushes, waits for the device, closes, and puts the file in the target's place.
    // False when any write or step failed; the target is then as it was.
    bool commit();

    // Why the file could not be written, in the words of strerror; empty while nothing
    // has failed.
    const std::string& failure() const { return failure_; }

private:
    void fail();  // keeps the first failure, from errno

    std::string target_, temporary_, failure_;
    OutputKind kind_;
    FILE* stream_ = nullptr;
};

// Shows message `id` about `name`, a file that could not be written; with
// explainWriteFailures, `reason` goes with it.
void showWriteFailure(WindowHandle window, MessageId id, const char* name, const std::string& reason);
