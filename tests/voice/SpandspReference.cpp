#include "tests/voice/SpandspReference.h"

#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>
#include <spandsp/g726.h>
#include <spandsp/ima_adpcm.h>

#include <stdexcept>

namespace voicetest {

uint8_t referenceAlaw(int16_t sample) { return linear_to_alaw(sample); }
uint8_t referenceUlaw(int16_t sample) { return linear_to_ulaw(sample); }
int16_t referenceFromAlaw(uint8_t code) { return alaw_to_linear(code); }
int16_t referenceFromUlaw(uint8_t code) { return ulaw_to_linear(code); }

void ReferenceG726::Free::operator()(g726_state_s* s) const { g726_free(s); }

ReferenceG726::ReferenceG726(int bitsPerCode, Packing packing)
{
    const int packingCode = packing == Packing::LsbFirst   ? G726_PACKING_RIGHT
                            : packing == Packing::MsbFirst ? G726_PACKING_LEFT
                                                           : G726_PACKING_NONE;
    state_.reset(g726_init(nullptr, 8000 * bitsPerCode, G726_ENCODING_LINEAR, packingCode));
    if (!state_) {
        throw std::runtime_error("g726_init failed");
    }
}

std::vector<uint8_t> ReferenceG726::encode(std::span<const int16_t> pcm)
{
    std::vector<uint8_t> out(pcm.size() + 8);
    out.resize(g726_encode(state_.get(), out.data(), pcm.data(), static_cast<int>(pcm.size())));
    return out;
}

std::vector<int16_t> ReferenceG726::decode(std::span<const uint8_t> data)
{
    std::vector<int16_t> out(8 * data.size() + 8);
    out.resize(g726_decode(state_.get(), out.data(), data.data(), static_cast<int>(data.size())));
    return out;
}

void ReferenceIma::Free::operator()(ima_adpcm_state_s* s) const { ima_adpcm_free(s); }

ReferenceIma::ReferenceIma(ImaVariant variant)
{
    state_.reset(ima_adpcm_init(nullptr, variant == ImaVariant::Dvi4 ? IMA_ADPCM_DVI4 : IMA_ADPCM_IMA4, 0));
    if (!state_) {
        throw std::runtime_error("ima_adpcm_init failed");
    }
}

std::vector<uint8_t> ReferenceIma::encode(std::span<const int16_t> pcm)
{
    std::vector<uint8_t> out(pcm.size() + 8);
    out.resize(ima_adpcm_encode(state_.get(), out.data(), pcm.data(), static_cast<int>(pcm.size())));
    return out;
}

std::vector<int16_t> ReferenceIma::decode(std::span<const uint8_t> data)
{
    std::vector<int16_t> out(2 * data.size() + 8);
    out.resize(ima_adpcm_decode(state_.get(), out.data(), data.data(), static_cast<int>(data.size())));
    return out;
}

}  // namespace voicetest
