#pragma once
// What every fuzz target shares: a private folder for inputs that the code under test reads as
// files, and a check that ends the run like a sanitizer would, so that libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <string>

// A folder of this process's own below TMPDIR (ending in "/"), made on first use and removed at
// exit. Parallel fuzzing jobs and replays never share inputs.
const std::wstring& FuzzFolder();

// Writes the bytes to FuzzFolder() + name and returns that path.
std::wstring WriteFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// The whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);

// Prints what failed and aborts, which libFuzzer reports as a crash and keeps the input for.
[[noreturn]] void FuzzFailure(const char* what, const char* file, int line);
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            FuzzFailure(#condition, __FILE__, __LINE__);                                           \
        }                                                                                          \
    } while (false)
