// The spandsp codecs as an independent reference (test-only dependency).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct g726_state_s;
struct ima_adpcm_state_s;

namespace voicetest {

uint8_t referenceAlaw(int16_t sample);
uint8_t referenceUlaw(int16_t sample);
int16_t referenceFromAlaw(uint8_t code);
int16_t referenceFromUlaw(uint8_t code);

enum class Packing { LsbFirst, MsbFirst, OneCodePerByte };

// One spandsp G.726 stream with 16-bit linear samples outside.
class ReferenceG726 {
public:
    ReferenceG726(int bitsPerCode, Packing packing);
    std::vector<uint8_t> encode(std::span<const int16_t> pcm);
    std::vector<int16_t> decode(std::span<const uint8_t> data);

private:
    struct Free {
        void operator()(g726_state_s* s) const;
    };
    std::unique_ptr<g726_state_s, Free> state_;
};

enum class ImaVariant { Dvi4, Ima4 };

// One spandsp IMA ADPCM stream; each call is one block with its own header.
class ReferenceIma {
public:
    explicit ReferenceIma(ImaVariant variant);
    std::vector<uint8_t> encode(std::span<const int16_t> pcm);
    std::vector<int16_t> decode(std::span<const uint8_t> data);

private:
    struct Free {
        void operator()(ima_adpcm_state_s* s) const;
    };
    std::unique_ptr<ima_adpcm_state_s, Free> state_;
};

}  // namespace voicetest
