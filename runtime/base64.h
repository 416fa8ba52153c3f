#pragma once
// base64 with the standard alphabet and "=" padding.

#include <cstddef>
#include <cstdint>

enum Base64Status : int {
    kBase64Ok = 0,
    kBase64MissingArgument = 1,
    kBase64NoRoom = 2,
};

// Writes 4 * ceil(length / 3) characters and a terminating zero. outLength is set in any case.
int Base64Encode(const void* bytes, size_t length, char* text, size_t size, size_t* outLength);
// Decodes every complete group of four characters; characters outside the alphabet count as 0.
// Needs (3 * length + 6) / 4 bytes of room.
int Base64Decode(const char* text, size_t length, void* bytes, size_t size, size_t* outLength);
