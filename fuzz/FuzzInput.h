#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The fuzzer's bytes as UTF-16 code units, taken as they come: lone
// surrogates and non-characters included.
inline QString codeUnits(const uint8_t *data, size_t size)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
}

// A broken property ends the run loudly, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            fprintf(stderr, "property broken: %s\n", #condition);                                           \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
