#pragma once
// Shorthand of the default runs: every write with the notify flag unless stated.

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "database/data_base.h"

namespace defaults {

class Writer {
public:
    Writer(CDataBase& db, DbImage image) : db_(db), image_(image) {}

    void Int(uint32_t id, uint32_t width, uint32_t value, uint32_t flags = kDbNotify) {
        db_.SetInt(id, width, value, image_, flags);
    }
    // count objects from id, stride bytes apart.
    void Ints(uint32_t id, uint32_t count, uint32_t stride, uint32_t width, uint32_t value) {
        for (uint32_t i = 0; i < count; ++i) {
            Int(id + i * stride, width, value);
        }
    }
    void Bytes(uint32_t id, const void* bytes, uint32_t length, uint32_t flags = kDbNotify) {
        db_.SetString(id, 4, bytes, length, image_, flags);
    }
    void Bytes(uint32_t id, std::initializer_list<uint8_t> bytes) {
        Bytes(id, bytes.begin(), static_cast<uint32_t>(bytes.size()));
    }
    void Text(uint32_t id, const char* text) {
        Bytes(id, text, static_cast<uint32_t>(std::strlen(text)));
    }
    void Empty(uint32_t id, uint32_t flags = kDbNotify) { Bytes(id, "", 0, flags); }
    void Empties(uint32_t id, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            Empty(id + 4 * i);
        }
    }
    // An OBJECT IDENTIFIER value: 32-bit big-endian sub-identifiers.
    void Oid(uint32_t id, std::initializer_list<uint32_t> arcs) {
        uint8_t bytes[4 * 32];
        uint32_t n = 0;
        for (uint32_t arc : arcs) {
            bytes[n++] = static_cast<uint8_t>(arc >> 24);
            bytes[n++] = static_cast<uint8_t>(arc >> 16);
            bytes[n++] = static_cast<uint8_t>(arc >> 8);
            bytes[n++] = static_cast<uint8_t>(arc);
        }
        Bytes(id, bytes, n);
    }
    // A 5-octet message ID code: memory type, message number, CRC.
    void MsgId(uint32_t id, uint8_t type, uint16_t number, uint16_t crc) {
        Bytes(id, {type, static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number),
                   static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)});
    }
    uint32_t Get(uint32_t id, uint32_t width, DbImage image) const {
        return db_.GetInt(id, width, image);
    }
    CDataBase& Db() { return db_; }

private:
    CDataBase& db_;
    DbImage image_;
};

}  // namespace defaults
