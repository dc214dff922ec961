// Whole files for the unit tests, as Bytes or as text (std::string). A file that cannot be read or
// written whole throws, which fails the test that asked; the tests judge the product's own file
// code, never this.
#pragma once
#include <stdio.h>

#include <stdexcept>
#include <string>

#include "tests/support/bytes.h"

template <class Buffer = Bytes>
Buffer ReadFileBytes(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("test file " + path + " cannot be opened");
    Buffer bytes;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) throw std::runtime_error("test file " + path + " cannot be read");
    return bytes;
}

template <class Buffer>
void WriteFileBytes(const std::string &path, const Buffer &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("test file " + path + " cannot be created");
    size_t written = bytes.empty() ? 0 : fwrite(bytes.data(), 1, bytes.size(), f);
    bool closed = fclose(f) == 0;  // always closed, whatever the write did
    if (!closed || written != bytes.size()) throw std::runtime_error("test file " + path + " cannot be written");
}
