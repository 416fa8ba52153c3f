#pragma once
// CParser: the page-scanning interface that CMULTIParser implements.

#include <cstdint>

#include "render/multi_parse_result.h"

class CMessage;

class CParser {
public:
    virtual ~CParser() = default;
    virtual bool ParsePage(void* context, MultiElementCallback callback, CMessage* message,
                           uint32_t page) = 0;
    virtual uint8_t CountPages(const char* text, uint32_t length) = 0;
    virtual bool ParseNextPage(CMessage* message) = 0;
    virtual bool ReparsePage(CMessage* message) = 0;
    virtual bool ResetDefaults(CMessage* message) = 0;
    virtual MultiParseResult Validate(void* context, MultiElementCallback callback,
                                      CMessage* message, const char* text, uint32_t length) = 0;
    virtual MultiParseResult SetMessage(void* context, MultiElementCallback callback,
                                        CMessage* message, const char* text, uint32_t length) = 0;
};
