#pragma once
// Stands in for the renderer: records every element the parser delivers,
// moves the line, rectangle and moving-text indexes as the renderer does and
// can fail a chosen kind.

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "render/message.h"
#include "render/multi_parse_result.h"

struct RecordedElement {
    uint32_t kind;
    bool measuring;
    std::string text;  // text run, format, file name
    multi_element data;
};

class RecordingRenderer {
public:
    static MultiParseResult Callback(void* context, CMessage* message) {
        return static_cast<RecordingRenderer*>(context)->Take(*message);
    }

    MultiParseResult Take(CMessage& m) {
        RecordedElement e{m.element_kind, m.measuring_pass != 0, {}, m.element};
        if (m.element_kind == kElementText) {
            e.text.assign(m.element.text, m.element.count);
        } else if (m.element_kind == kElementBitmapFile) {
            e.text = m.element.file_name;
        } else if (m.element_kind >= kElementTimeField && m.element_kind <= kElementSpeedKmhField) {
            e.text = m.element.format;
        } else if (m.element_kind == kElementSpeedSensor) {
            e.text = m.element.format;
        }
        elements.push_back(e);
        MultiParseResult result = kMultiOk;
        if (hook) {
            result = hook(m);
        }
        switch (m.element_kind) {
            case kElementNewLine:
                ++m.current_line;
                break;
            case kElementTextRectangle:
                ++m.current_text_rectangle;
                break;
            case kElementMovingTextEnd:
                ++m.current_moving_text;
                break;
            case kElementStartDrawing:
                m.current_moving_text = 0;
                break;
            default:
                break;
        }
        if (m.element_kind == fail_kind && result == kMultiOk) {
            result = fail_result;
        }
        m.ClearElement();
        return result;
    }

    std::vector<uint32_t> Kinds() const {
        std::vector<uint32_t> kinds;
        for (const auto& e : elements) {
            kinds.push_back(e.kind);
        }
        return kinds;
    }
    std::vector<RecordedElement> OfKind(uint32_t kind) const {
        std::vector<RecordedElement> found;
        for (const auto& e : elements) {
            if (e.kind == kind) {
                found.push_back(e);
            }
        }
        return found;
    }

    std::vector<RecordedElement> elements;
    std::function<MultiParseResult(CMessage&)> hook;
    uint32_t fail_kind = 0xFFFFFFFF;
    MultiParseResult fail_result = kMultiOk;
};
