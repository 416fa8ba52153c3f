#pragma once
// Texts produced by the MULTI fields, remote text, speed-sensor and character tags, and the
// MULTI field status objects the drawing pass keeps up to date.

#include <cstdint>

#include "render/message.h"

// Room for a produced text: 50 bytes and a terminator. Every produced text is cut to fit.
inline constexpr uint32_t kProducedTextSize = 51;

// Broken-down local time of a seconds count since 1970.
struct RenderDateTime {
    int second;
    int minute;
    int hour;
    int day;      // 1-31
    int month;    // 1-12
    int year;     // four digits
    int weekday;  // 0 Sunday - 6 Saturday
};
RenderDateTime RenderSecondsToDateTime(uint32_t seconds);

// The time format (%H %M %d %m %y %Y %a %A %#I) applied to a time, letters upper-cased.
// Returns the length written into out (size bytes including the terminator).
uint32_t RenderFormatTime(const char* format, const RenderDateTime& time, char* out, uint32_t size);
// A number printed with "%<width>d"; any other format is copied as it stands (the maker
// fields carry their finished number as the format).
uint32_t RenderFormatNumber(const char* format, int64_t value, char* out, uint32_t size);

// The text of a producing element (kinds 2-7, 13, 22) from the object store as it is now.
// Returns its length; 0 for other kinds.
uint32_t RenderProduceText(const CMessage& message, char* out, uint32_t size);

// Drawing pass on the sign: stores a field's text and number in the next MULTI field status
// row and raises statMultiFieldRows to the rows in use.
void RenderRecordFieldStatus(CMessage& message, const char* text, uint32_t length);
