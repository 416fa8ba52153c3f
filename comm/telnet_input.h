#pragma once
// Telnet input of one connection: negotiation and subnegotiation are taken out, CR LF and CR NUL
// become a single CR, IAC IAC a data byte 255. Options other than echo and suppress-go-ahead
// (which the server offers) are refused. State carries over from one segment to the next.

#include <cstdint>
#include <string>

class CTelnetInput {
public:
    static constexpr uint8_t kIac = 255;
    static constexpr uint8_t kDont = 254;
    static constexpr uint8_t kDo = 253;
    static constexpr uint8_t kWont = 252;
    static constexpr uint8_t kWill = 251;
    static constexpr uint8_t kSb = 250;
    static constexpr uint8_t kSe = 240;
    static constexpr uint8_t kOptionEcho = 1;
    static constexpr uint8_t kOptionSuppressGoAhead = 3;

    // Appends the data bytes of `in` to `data` and the answers to the peer's requests to `answer`.
    void Take(const std::string& in, std::string* data, std::string* answer);
    // The server's offer at a new connection: it echoes, and no go-ahead (character mode).
    static std::string Offer();

private:
    enum State : uint8_t { kData, kCommand, kOption, kSub, kSubIac };

    void Data(uint8_t byte, std::string* data);
    void Answer(uint8_t option, std::string* answer);

    State state_ = kData;
    uint8_t verb_ = 0;
    bool afterCr_ = false;
};
