#pragma once
// A file opened for reading in binary, closed when it goes out of scope: a reader's
// early returns can neither leak it nor close it twice.
#include <cstdio>

class InputFile {
public:
    explicit InputFile(const char* path) : file_(std::fopen(path, "rb")) {}
    ~InputFile()
    {
        if (file_) std::fclose(file_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Null when the file could not be opened.
    FILE* get() const { return file_; }

private:
    FILE* file_;
};
