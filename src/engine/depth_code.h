#pragma once
// The program's depth codes: the bits per pixel of a picture, with 40 and 80
// for 4-bit and 8-bit grey. One type for them; the text form ("24.") is only
// for the places where the program exchanges text (commands, events, states).
#include <QString>
#include <initializer_list>

namespace engine {

class DepthCode {
public:
    enum Value : int {
        None = 0,
        Mono = 1,        // black and white
        Colours16 = 4,   // 16-colour palette
        Greys16 = 40,    // 4-bit grey
        Colours256 = 8,  // 256-colour palette
        Greys256 = 80,   // 8-bit grey
        Bits16 = 16,
        Bits24 = 24,
        Bits32 = 32,
    };
    constexpr DepthCode(Value v = None) : v_(v) {}

    // From the number (24, 40, ...); None for a number that is no depth code.
    static DepthCode fromNumber(int code);
    // From the text form "24."; None for anything else.
    static DepthCode fromText(const QString& text);
    // The code of a picture with this bit count, grey or not (only 4 and 8
    // bits have grey codes).
    static DepthCode of(int bits, bool grey);

    constexpr Value value() const { return v_; }
    constexpr int number() const { return int(v_); }
    QString text() const;  // "24."; empty for None
    int bits() const;      // 4 for 40, 8 for 80
    constexpr bool valid() const { return v_ != None; }
    constexpr bool grey() const { return v_ == Greys16 || v_ == Greys256; }
    // 80, 16, 24 and 32: the depths that shrinking and turning treat as full colour.
    constexpr bool fullColour() const { return v_ == Greys256 || directColour(); }
    // 16, 24 and 32: the depths whose pixels hold their colours directly.
    constexpr bool directColour() const { return v_ == Bits16 || v_ == Bits24 || v_ == Bits32; }

    friend constexpr bool operator==(DepthCode a, DepthCode b) { return a.v_ == b.v_; }

private:
    Value v_;
};

// A set of depth codes, for tables (the depths a file format holds).
class DepthSet {
public:
    constexpr DepthSet() = default;
    constexpr DepthSet(std::initializer_list<DepthCode> codes) {
        for (DepthCode c : codes)
            bits_ |= bit(c);
    }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr bool contains(DepthCode c) const { return c.valid() && (bits_ & bit(c)) != 0; }

private:
    static constexpr unsigned bit(DepthCode c) {
        switch (c.value()) {
        case DepthCode::Mono: return 1u << 0;
        case DepthCode::Colours16: return 1u << 1;
        case DepthCode::Greys16: return 1u << 2;
        case DepthCode::Colours256: return 1u << 3;
        case DepthCode::Greys256: return 1u << 4;
        case DepthCode::Bits16: return 1u << 5;
        case DepthCode::Bits24: return 1u << 6;
        case DepthCode::Bits32: return 1u << 7;
        default: return 0;
        }
    }
    unsigned bits_ = 0;
};

}  // namespace engine
