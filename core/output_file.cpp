#include "core/output_file.h"

#include <cerrno>
#include <cstring>

OutputGuard* outputGuard;
bool explainWriteFailures;

OutputFile::OutputFile(const std::string& target, OutputKind kind) : target_(target), kind_(kind)
{
    failure_ = replaceRefusal(target_);
    if (failure_.empty() && kind_ == OutputKind::Conversion && outputGuard)
        failure_ = outputGuard->refusal(target_);
    if (!failure_.empty()) return;
    stream_ = openReplacement(target_, temporary_);
    if (!stream_) fail();
}

OutputFile::~OutputFile()
{
    if (stream_) std::fclose(stream_);
    if (!temporary_.empty()) std::remove(temporary_.c_str());
}

void OutputFile::fail()
{
    if (failure_.empty()) failure_ = std::strerror(errno ? errno : EIO);
}

void OutputFile::write(const void* bytes, size_t count)
{
    if (count != 0 && std::fwrite(bytes, 1, count, stream_) != count) fail();
}

void OutputFile::put(uint8_t byte)
{
    if (std::fputc(byte, stream_) == EOF) fail();
}

bool OutputFile::isSeekable() const { return std::fseek(stream_, 0, SEEK_CUR) == 0; }

bool OutputFile::seekToStart()
{
    if (std::fseek(stream_, 0, SEEK_SET) == 0) return true;
    fail();
    return false;
}

bool OutputFile::commit()
{
    if (!stream_) return false;
    errno = 0;
    if (!flushToDevice(stream_) || std::ferror(stream_)) fail();
    FILE* stream = stream_;
    stream_ = nullptr;
    if (std::fclose(stream) != 0) fail();
    if (failure_.empty() && !temporary_.empty() && !replaceFile(temporary_, target_)) fail();
    if (!failure_.empty()) return false;
    temporary_.clear();
    if (kind_ == OutputKind::Conversion && outputGuard) outputGuard->written(target_);
    return true;
}

void showWriteFailure(WindowHandle window, MessageId id, const char* name, const std::string& reason)
{
    Message message = {id, name, 0, nullptr};
    if (explainWriteFailures) message.reason = reason.c_str();
    showMessage(window, message);
}
