#pragma once
// BER codec: a cursor over a caller's buffer. Decoding reads forwards from the
// beginning; encoding writes backwards from the end, so that every length is
// known before its header is written. No allocation, no state beyond the context.
//
// Every operation returns 1 on success and 0 on failure; a failure leaves its
// code in the context (Asn1Error) and the context is not used further.
//
// End marks are positions in the buffer. Decoding: the header decoder returns
// the position where a value ends, or null for the indefinite form. Encoding:
// the caller saves the position before writing a value's contents and then
// writes the header, whose length is the saved mark minus the position.

#include <cstdint>

enum Asn1Error : uint32_t {
    kAsn1Ok = 0,
    kAsn1NoRoom = 1,       // encoding reached the beginning of the buffer
    kAsn1EndOfData = 2,    // decoding reached the end of the data, or a length points past it
    kAsn1BadEoc = 3,       // an indefinite length not closed by 00 00
    kAsn1WrongEnd = 4,     // a constructed value did not end at its end mark
    kAsn1TooLong = 5,      // too many content octets or sub-identifiers for the destination
    kAsn1OidTooShort = 6,  // fewer than 2 sub-identifiers to encode
    kAsn1Indefinite = 7,   // an indefinite length where the value needs a definite one
    kAsn1Overrun = 8,      // a value that runs past its end mark or the value enclosing it
    kAsn1Unexpected = 9,   // an identifier other than the one the message needs there
};

// Identifier classes.
enum : uint32_t {
    kAsn1Universal = 0,
    kAsn1Application = 1,
    kAsn1Context = 2,
    kAsn1Private = 3,
};

// Constructed flag.
enum : uint32_t {
    kAsn1Primitive = 0,
    kAsn1Constructed = 1,
};

// Universal tags used by the agent.
enum : uint32_t {
    kAsn1TagInteger = 2,
    kAsn1TagBitString = 3,
    kAsn1TagOctetString = 4,
    kAsn1TagNull = 5,
    kAsn1TagObjectId = 6,
    kAsn1TagSequence = 16,
};

struct asn1_context {
    const uint8_t* position;  // next octet to read, or first octet already written
    const uint8_t* begin;
    const uint8_t* end;
    uint32_t error;
    uint8_t* writable;  // the same buffer for writing; null when opened read-only
};

// Opens the context on a buffer: decoding when mode is nonzero, encoding when 0.
int g_asn1_open(asn1_context* ctx, uint8_t* buffer, uint32_t length, int mode);
// Opens a read-only buffer for decoding.
int g_asn1_open_decode(asn1_context* ctx, const uint8_t* buffer, uint32_t length);
// The encoded message (start and length), or what is left undecoded.
int g_asn1_close(const asn1_context* ctx, const uint8_t** start, uint32_t* length);

int g_asn1_octet_encode(asn1_context* ctx, uint8_t octet);
int g_asn1_octet_decode(asn1_context* ctx, uint8_t* octet);
int g_asn1_subid_encode(asn1_context* ctx, uint32_t value);
int g_asn1_subid_decode(asn1_context* ctx, uint32_t* value);
int g_asn1_id_encode(asn1_context* ctx, uint32_t cls, uint32_t constructed, uint32_t tag);
int g_asn1_id_decode(asn1_context* ctx, uint32_t* cls, uint32_t* constructed, uint32_t* tag);
int g_asn1_length_encode(asn1_context* ctx, uint32_t definite, uint32_t length);
int g_asn1_length_decode(asn1_context* ctx, uint32_t* definite, uint32_t* length);

// Definite lengths that point past the end of the data are refused (kAsn1EndOfData);
// an indefinite length gives a null end mark. A transport that has only the first
// octets of a message and wants its length reads g_asn1_id_decode and
// g_asn1_length_decode instead, which do not look past the length field.
int g_asn1_header_encode(asn1_context* ctx, const uint8_t* end_mark, uint32_t cls,
                         uint32_t constructed, uint32_t tag);
int g_asn1_header_decode(asn1_context* ctx, const uint8_t** end_mark, uint32_t* cls,
                         uint32_t* constructed, uint32_t* tag);

// With end_mark: saves the position. With null: writes the 00 00 that closes an
// indefinite length.
int g_asn1_eoc_encode(asn1_context* ctx, const uint8_t** end_mark);
// Checks that a constructed value ended at its end mark (2 octets past it are
// tolerated in compatibility mode); a null mark reads the closing 00 00.
int g_asn1_eoc_decode(asn1_context* ctx, const uint8_t* end_mark);

// Primitive values. Encoders save the end mark and write only the content
// octets; decoders take the end mark of the header just decoded and refuse a
// null (indefinite) one.
int g_asn1_null_encode(asn1_context* ctx, const uint8_t** end_mark);
int g_asn1_null_decode(asn1_context* ctx, const uint8_t* end_mark);
int g_asn1_int_encode(asn1_context* ctx, const uint8_t** end_mark, int32_t value);
int g_asn1_int_decode(asn1_context* ctx, const uint8_t* end_mark, int32_t* value);
int g_asn1_uint_encode(asn1_context* ctx, const uint8_t** end_mark, uint32_t value);
int g_asn1_uint_decode(asn1_context* ctx, const uint8_t* end_mark, uint32_t* value);
int g_asn1_octets_encode(asn1_context* ctx, const uint8_t** end_mark, const uint8_t* bytes,
                         uint32_t count);
// Copies the contents into destination, which holds capacity octets; more
// content than that is refused (kAsn1TooLong) and nothing is copied.
int g_asn1_octets_decode(asn1_context* ctx, const uint8_t* end_mark, uint8_t* destination,
                         uint32_t capacity, uint32_t* count);
int g_asn1_oid_encode(asn1_context* ctx, const uint8_t** end_mark, const uint32_t* subids,
                      uint32_t count);
// destination holds capacity sub-identifiers.
int g_asn1_oid_decode(asn1_context* ctx, const uint8_t* end_mark, uint32_t* destination,
                      uint32_t capacity, uint32_t* count);
