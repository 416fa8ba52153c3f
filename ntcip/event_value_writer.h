#pragma once
// Forward BER writer over a caller's buffer: the encodings of recorded event
// values. Every operation returns an error word (bits OR-ed over its steps).

#include <cstdint>

enum BerWriterError : uint32_t {
    kBerWriterOk = 0,
    kBerWriterFull = 1,
    kBerWriterAtBegin = 2,
    kBerWriterMissing = 4,
    kBerWriterTruncated = 8,
};

struct ber_writer {
    uint8_t* begin;
    uint8_t* position;
    int32_t count;
    uint32_t capacity;
};

uint32_t ber_writer_init(ber_writer* w, uint8_t* buffer, uint32_t capacity);
// Takes at most capacity - 1 bytes.
uint32_t ber_writer_advance(ber_writer* w);
uint32_t ber_writer_back(ber_writer* w);
// Largest content length whose complete encoding (identifier, length, contents)
// still fits in what advance can take.
uint32_t ber_writer_room(const ber_writer* w);
uint32_t ber_write_octets(ber_writer* w, const uint8_t* bytes, uint32_t length);
uint32_t ber_write_null(ber_writer* w);
uint32_t ber_write_oid(ber_writer* w, const uint32_t* subids, uint32_t count);
uint32_t ber_write_ipaddress(ber_writer* w, const uint8_t address[4]);
uint32_t ber_write_integer(ber_writer* w, int32_t value);
uint32_t ber_write_unsigned(ber_writer* w, uint8_t tag, uint32_t value);
uint32_t ber_write_counter(ber_writer* w, uint32_t value);
uint32_t ber_write_gauge(ber_writer* w, uint32_t value);
uint32_t ber_write_timeticks(ber_writer* w, uint32_t value);
