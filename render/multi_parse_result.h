#pragma once
// Results of MULTI parsing and validation: the NTCIP multiSyntaxError values
// plus two of the parser's own (bad arguments and end of text).

#include <cstdint>

enum MultiParseResult : int {
    kMultiBadArguments = 0,
    kMultiOk = 2,
    kMultiUnsupportedTag = 3,
    kMultiUnsupportedTagValue = 4,
    kMultiTextTooBig = 5,
    kMultiFontNotDefined = 6,
    kMultiTagConflict = 11,
    kMultiTooManyPages = 12,
    kMultiFontVersionId = 13,
    kMultiGraphicId = 14,
    kMultiGraphicNotDefined = 15,
    kMultiEndOfText = 99,
};

// Kind word of the element block that the parser hands to its callback.
enum MultiElementKind : uint32_t {
    kElementNone = 0,
    kElementText = 1,
    kElementRemoteText = 2,
    kElementTimeField = 3,
    kElementCelsiusField = 4,
    kElementFahrenheitField = 5,
    kElementSpeedMphField = 6,
    kElementSpeedKmhField = 7,
    kElementBitmapFile = 8,
    kElementGraphic = 9,
    kElementMovingTextEnd = 11,
    kElementMovingTextStart = 12,
    kElementCharacter = 13,
    kElementEndSegment = 14,
    kElementEndMeasuring = 15,
    kElementNewLine = 16,
    kElementStartDrawing = 17,
    kElementAbsolutePosition = 18,
    kElementTextRectangle = 21,
    kElementSpeedSensor = 22,
};

class CMessage;

// The parser's callback (the renderer): context as given, the message whose
// element block holds the element. Returns kMultiOk to go on.
using MultiElementCallback = MultiParseResult (*)(void* context, CMessage* message);
