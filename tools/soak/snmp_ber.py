"""SNMP v1/v2c messages in BER: just enough to build get, get-next and set requests and to read
their responses."""

INTEGER, OCTETS, NULL, OID, SEQUENCE = 0x02, 0x04, 0x05, 0x06, 0x30
IPADDRESS, COUNTER, GAUGE, TIMETICKS = 0x40, 0x41, 0x42, 0x43
GET, GETNEXT, RESPONSE, SET = 0xA0, 0xA1, 0xA2, 0xA3
NO_SUCH_OBJECT, NO_SUCH_INSTANCE, END_OF_MIB = 0x80, 0x81, 0x82


class BerError(ValueError):
    pass


def tlv(tag, value):
    n = len(value)
    if n < 0x80:
        return bytes([tag, n]) + value
    octets = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(octets)]) + octets + value


def encode_int(v, tag=INTEGER):
    length = max(1, (v.bit_length() + 8) // 8)
    return tlv(tag, v.to_bytes(length, "big", signed=True))


def encode_unsigned(v, tag):
    raw = v.to_bytes(max(1, (v.bit_length() + 7) // 8), "big")
    if raw[0] & 0x80:
        raw = b"\x00" + raw
    return tlv(tag, raw)


def encode_oid(text):
    parts = [int(p) for p in text.strip(".").split(".")]
    out = bytearray([40 * parts[0] + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.append(0x80 | (p & 0x7F))
            p >>= 7
        out += bytes(reversed(chunk))
    return tlv(OID, bytes(out))


def encode_value(tag, value):
    if tag == INTEGER:
        return encode_int(value)
    if tag in (OCTETS, IPADDRESS):
        return tlv(tag, bytes(value))
    if tag == NULL:
        return b"\x05\x00"
    if tag == OID:
        return encode_oid(value)
    return encode_unsigned(value, tag)


def request(pdu_type, request_id, varbinds, community, version=1):
    """varbinds: [(oid text, (tag, value))]; the value is ignored for get and get-next."""
    items = b""
    for name, (tag, value) in varbinds:
        body = b"\x05\x00" if pdu_type in (GET, GETNEXT) else encode_value(tag, value)
        items += tlv(SEQUENCE, encode_oid(name) + body)
    pdu = tlv(pdu_type, encode_int(request_id) + encode_int(0) + encode_int(0) +
              tlv(SEQUENCE, items))
    return tlv(SEQUENCE, encode_int(version) + tlv(OCTETS, community.encode()) + pdu)


def read_tlv(data, at):
    if at + 2 > len(data):
        raise BerError("truncated")
    tag, first = data[at], data[at + 1]
    at += 2
    if first < 0x80:
        length = first
    else:
        n = first & 0x7F
        if n == 0 or n > 4 or at + n > len(data):
            raise BerError("bad length")
        length = int.from_bytes(data[at : at + n], "big")
        at += n
    if at + length > len(data):
        raise BerError("value past the end")
    return tag, data[at : at + length], at + length


def decode_oid(raw):
    if not raw:
        raise BerError("empty OID")
    parts = [raw[0] // 40, raw[0] % 40]
    value = 0
    for b in raw[1:]:
        value = (value << 7) | (b & 0x7F)
        if not b & 0x80:
            parts.append(value)
            value = 0
    return ".".join(str(p) for p in parts)


def decode_value(tag, raw):
    if tag == INTEGER:
        return int.from_bytes(raw, "big", signed=True) if raw else 0
    if tag in (COUNTER, GAUGE, TIMETICKS):
        return int.from_bytes(raw, "big") if raw else 0
    if tag == OID:
        return decode_oid(raw)
    return bytes(raw)


def response(data):
    """(request id, error status, error index, [(oid text, tag, value)]) of a response."""
    tag, body, _ = read_tlv(data, 0)
    if tag != SEQUENCE:
        raise BerError("not a message")
    _, _, at = read_tlv(body, 0)  # version
    _, _, at = read_tlv(body, at)  # community
    tag, pdu, _ = read_tlv(body, at)
    if tag != RESPONSE:
        raise BerError("not a response")
    fields = []
    at = 0
    for _ in range(3):
        t, raw, at = read_tlv(pdu, at)
        fields.append(decode_value(t, raw))
    _, items, _ = read_tlv(pdu, at)
    varbinds = []
    at = 0
    while at < len(items):
        _, vb, at = read_tlv(items, at)
        _, name, next_at = read_tlv(vb, 0)
        t, raw, _ = read_tlv(vb, next_at)
        varbinds.append((decode_oid(name), t, decode_value(t, raw)))
    return fields[0], fields[1], fields[2], varbinds
