// Writes the controller's default SCRIPT.XML: speed-limit messages 1-72 (37-72 with beacons) in
// the changeable message table, with their message CRCs.

#include <cstdio>
#include <string>

#include "runtime/crc16.h"

namespace {

const std::string kPrivate = "1.3.6.1.4.1.1206.3.47.2.8.0";
const std::string kControlMode = "1.3.6.1.4.1.1206.4.2.3.6.1.0";
const std::string kMessageColumn = "1.3.6.1.4.1.1206.4.2.3.5.8.1.";

std::string Element(const std::string& oid, const std::string& kind, const std::string& value) {
    return "\t<OBJ oid=\"" + oid + "\" " + kind + "=\"" + value + "\"/>\r\n";
}

// The message CRC: CRC-16 from 0xFFFF over the MULTI text, the beacon and the pixel-service
// octet, inverted and byte-swapped.
unsigned MessageCrc(const std::string& multi, unsigned beacon) {
    const unsigned char tail[2] = {static_cast<unsigned char>(beacon), 0};
    Crc16State crc;
    Crc16Init(&crc, 0xFFFF);
    Crc16Update(&crc, multi.data(), multi.size());
    Crc16Update(&crc, tail, sizeof tail);
    uint16_t value = 0;
    Crc16Final(&crc, &value, kCrc16Invert | kCrc16Swap);
    Crc16Close(&crc);
    return value;
}

// Message m (1-72): the speed 5 * ((m - 1) % 36 + 1), with beacons from 37 on.
std::string MessageText(int m) {
    const int speed = 5 * ((m - 1) % 36 + 1);
    const std::string font = speed < 100 ? "[fo1]" : "[fo2]";
    const std::string name = std::to_string(speed) + (m > 36 ? " (BEACONS)" : "");
    return font + std::to_string(speed) + "[ms47,name," + name + "]";
}

std::string Message(int number, int m, bool crcGiven) {
    const std::string text = MessageText(m);
    const unsigned beacon = m > 36 ? 1 : 0;
    const std::string row = ".3." + std::to_string(number);
    return Element(kMessageColumn + "3" + row, "str", text) +
           Element(kMessageColumn + "5" + row, "int",
                   crcGiven ? std::to_string(MessageCrc(text, beacon)) : "") +
           Element(kMessageColumn + "6" + row, "int", std::to_string(beacon)) +
           Element(kMessageColumn + "9" + row, "int", "4");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_script_xml OUT\n");
        return 2;
    }
    std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";
    text += "<SCRIPT product=\"Solstrel\" version=\"1.0\">\r\n";
    text += Element(kPrivate, "int", "2");
    text += Element(kControlMode, "int", "5");
    for (int m = 1; m <= 72; ++m) {
        text += Message(m, m, true);
    }
    // The copy in 501-572 carries message 58 under number 557 as well, without CRCs there.
    for (int m = 1; m <= 72; ++m) {
        const int number = m == 58 ? 557 : 500 + m;
        text += Message(number, m, number != 557);
    }
    text += Element(kControlMode, "int", "4");
    text += Element(kPrivate, "int", "1");
    text += "</SCRIPT>\r\n";
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
        std::fprintf(stderr, "make_script_xml: cannot write %s\n", argv[1]);
        return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
