#pragma once
// Text and number helpers.

#include <cstddef>
#include <cstdint>

// Difference of the first differing characters after folding A-Z to lower case (0 when equal).
int StrCaseCmp(const char* a, const char* b);
// -1, 0 or 1 over at most n characters, folding A-Z; stops at the end of the shorter text.
int StrNCaseCmp(const char* a, const char* b, size_t n);
// Folds A-Z to lower case in place, over at most length characters (stops at a zero byte).
void StrToLower(char* text, size_t length);
// Copies text into out with every occurrence of find replaced. 1 replaced, 0 none, -1 no room,
// -2 missing argument, -3 empty find. out is cleared first.
int StrReplaceAll(const char* text, const char* find, const char* replace, char* out,
                  size_t outSize);
// 0-15 for 0-9, A-F, a-f; 0 for anything else.
unsigned HexDigitValue(char c);
// Every character shifts in 4 bits (non-hex characters add 0); 0 for a missing text.
uint32_t HexStringToUint(const char* text);

enum ParseDecimalStatus : int { kParseOk = 0, kParseMissingArgument = 1, kParseTooMany = 2 };
// Every run of decimal digits within the first length characters becomes one number (runs stop
// at length; values beyond 32 bits saturate). The array is cleared first.
int ParseDecimalList(const char* text, size_t length, uint32_t* values, size_t capacity,
                     size_t* count);

bool IsLeapYear(unsigned year);
