// Samples per second encoded and decoded by each mode, and by spandsp doing the same work
// (same input, same frame length, same bit layout where spandsp has it). Prints the ratios
// at the end (medians when run with --benchmark_repetitions).
#include "hivoice.h"
#include "tests/voice/VoiceSignals.h"

#include <benchmark/benchmark.h>
#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>
#include <spandsp/g726.h>
#include <spandsp/ima_adpcm.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

enum class Reference { G711Alaw, G711Ulaw, Dvi4, Ima4, G726Lsb, G726Msb };

struct ModeCase {
    int16_t mode;
    const char* codec;
    int frameSamples;
    Reference reference;
    int bits;  // G.726
};

const ModeCase kCases[] = {
    {1, "G.711 A-law", 160, Reference::G711Alaw, 0},
    {2, "G.711 u-law", 160, Reference::G711Ulaw, 0},
    {0x41, "G.711 A-law, swapped", 160, Reference::G711Alaw, 0},
    {0x42, "G.711 u-law, swapped", 160, Reference::G711Ulaw, 0},
    {3, "IMA ADPCM DVI4", 160, Reference::Dvi4, 0},
    {0x23, "IMA ADPCM IMA4", 161, Reference::Ima4, 0},
    {0x43, "IMA ADPCM raw", 160, Reference::Dvi4, 0},
    {4, "G.726 16k", 160, Reference::G726Lsb, 2},
    {5, "G.726 24k", 160, Reference::G726Lsb, 3},
    {6, "G.726 32k", 160, Reference::G726Lsb, 4},
    {7, "G.726 40k", 160, Reference::G726Lsb, 5},
    {0x24, "G.726 16k, msb", 160, Reference::G726Msb, 2},
    {0x25, "G.726 24k, msb", 160, Reference::G726Msb, 3},
    {0x26, "G.726 32k, msb", 160, Reference::G726Msb, 4},
    {0x27, "G.726 40k, msb", 160, Reference::G726Msb, 5},
    {0x44, "G.726 16k, words", 160, Reference::G726Msb, 2},
};

const voicetest::Pcm& speech()
{
    static const voicetest::Pcm samples = voicetest::speechLike(8000 * 6, 77);
    return samples;
}

// One spandsp stream for a case.
class SpandspStream {
public:
    explicit SpandspStream(const ModeCase& c) : reference_(c.reference)
    {
        switch (c.reference) {
        case Reference::G711Alaw: g711_.reset(g711_init(nullptr, G711_ALAW)); break;
        case Reference::G711Ulaw: g711_.reset(g711_init(nullptr, G711_ULAW)); break;
        case Reference::Dvi4: ima_.reset(ima_adpcm_init(nullptr, IMA_ADPCM_DVI4, 0)); break;
        case Reference::Ima4: ima_.reset(ima_adpcm_init(nullptr, IMA_ADPCM_IMA4, 0)); break;
        case Reference::G726Lsb:
            g726_.reset(g726_init(nullptr, 8000 * c.bits, G726_ENCODING_LINEAR, G726_PACKING_RIGHT));
            break;
        case Reference::G726Msb:
            g726_.reset(g726_init(nullptr, 8000 * c.bits, G726_ENCODING_LINEAR, G726_PACKING_LEFT));
            break;
        }
    }

    int encode(const int16_t* pcm, int n, uint8_t* out)
    {
        if (g711_) return g711_encode(g711_.get(), out, pcm, n);
        if (ima_) return ima_adpcm_encode(ima_.get(), out, pcm, n);
        return g726_encode(g726_.get(), out, pcm, n);
    }

    int decode(const uint8_t* data, int bytes, int16_t* out)
    {
        if (g711_) return g711_decode(g711_.get(), out, data, bytes);
        if (ima_) return ima_adpcm_decode(ima_.get(), out, data, bytes);
        return g726_decode(g726_.get(), out, data, bytes);
    }

private:
    struct FreeG711 {
        void operator()(g711_state_t* s) const { g711_free(s); }
    };
    struct FreeIma {
        void operator()(ima_adpcm_state_t* s) const { ima_adpcm_free(s); }
    };
    struct FreeG726 {
        void operator()(g726_state_t* s) const { g726_free(s); }
    };
    Reference reference_;
    std::unique_ptr<g711_state_t, FreeG711> g711_;
    std::unique_ptr<ima_adpcm_state_t, FreeIma> ima_;
    std::unique_ptr<g726_state_t, FreeG726> g726_;
};

size_t frameCount(const ModeCase& c)
{
    return speech().size() / c.frameSamples;
}

void encodeOurs(benchmark::State& state, const ModeCase& c)
{
    const voicetest::Pcm& pcm = speech();
    HiVoiceState codec;
    HI_VOICE_EncReset(&codec, c.mode);
    uint8_t frame[HI_VOICE_MAX_FRAME_BYTES];
    for (auto _ : state) {
        for (size_t f = 0; f < frameCount(c); ++f) {
            HI_VOICE_EncodeFrame(&codec, pcm.data() + f * c.frameSamples, frame, static_cast<int16_t>(c.frameSamples));
            benchmark::DoNotOptimize(frame);
        }
    }
    state.SetItemsProcessed(state.iterations() * frameCount(c) * c.frameSamples);
}

void decodeOurs(benchmark::State& state, const ModeCase& c)
{
    const voicetest::Pcm& pcm = speech();
    HiVoiceState codec;
    HI_VOICE_EncReset(&codec, c.mode);
    std::vector<std::vector<uint8_t>> frames(frameCount(c), std::vector<uint8_t>(HI_VOICE_MAX_FRAME_BYTES));
    for (size_t f = 0; f < frames.size(); ++f) {
        HI_VOICE_EncodeFrame(&codec, pcm.data() + f * c.frameSamples, frames[f].data(), static_cast<int16_t>(c.frameSamples));
    }
    HI_VOICE_DecReset(&codec, c.mode);
    int16_t out[HI_VOICE_MAX_DECODE_SAMPLES];
    int64_t samples = 0;
    for (auto _ : state) {
        for (const auto& frame : frames) {
            int16_t count = 0;
            HI_VOICE_DecodeFrame(&codec, frame.data(), out, &count);
            samples += count;
            benchmark::DoNotOptimize(out);
        }
    }
    state.SetItemsProcessed(samples);
}

void encodeSpandsp(benchmark::State& state, const ModeCase& c)
{
    const voicetest::Pcm& pcm = speech();
    SpandspStream codec(c);
    uint8_t out[2048];
    for (auto _ : state) {
        for (size_t f = 0; f < frameCount(c); ++f) {
            codec.encode(pcm.data() + f * c.frameSamples, c.frameSamples, out);
            benchmark::DoNotOptimize(out);
        }
    }
    state.SetItemsProcessed(state.iterations() * frameCount(c) * c.frameSamples);
}

void decodeSpandsp(benchmark::State& state, const ModeCase& c)
{
    const voicetest::Pcm& pcm = speech();
    SpandspStream encoder(c);
    std::vector<std::vector<uint8_t>> blocks(frameCount(c));
    for (size_t f = 0; f < blocks.size(); ++f) {
        blocks[f].resize(2048);
        blocks[f].resize(encoder.encode(pcm.data() + f * c.frameSamples, c.frameSamples, blocks[f].data()));
    }
    SpandspStream codec(c);
    int16_t out[4096];
    int64_t samples = 0;
    for (auto _ : state) {
        for (const auto& block : blocks) {
            samples += codec.decode(block.data(), static_cast<int>(block.size()), out);
            benchmark::DoNotOptimize(out);
        }
    }
    state.SetItemsProcessed(samples);
}

// Console output as usual, then one table of the rates and their ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (run.run_type == Run::RT_Iteration && rate != run.counters.end()) {
                rates_[run.benchmark_name()].push_back(rate->second.value);
            }
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-6s %-22s %12s %12s %7s %12s %12s %7s\n", "mode", "codec", "enc Msmp/s", "spandsp",
                    "ratio", "dec Msmp/s", "spandsp", "ratio");
        for (const ModeCase& c : kCases) {
            const std::string key = "/mode" + std::to_string(c.mode);
            const double e = median("encode" + key) / 1e6;
            const double er = median("spandsp_encode" + key) / 1e6;
            const double d = median("decode" + key) / 1e6;
            const double dr = median("spandsp_decode" + key) / 1e6;
            std::printf("%-6d %-22s %12.1f %12.1f %7.2f %12.1f %12.1f %7.2f\n", c.mode, c.codec, e, er,
                        er > 0 ? e / er : 0.0, d, dr, dr > 0 ? d / dr : 0.0);
        }
    }

private:
    // Median over repetitions (--benchmark_repetitions), which shrugs off a busy machine.
    double median(const std::string& name)
    {
        std::vector<double>& values = rates_[name];
        if (values.empty()) {
            return 0.0;
        }
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

    std::map<std::string, std::vector<double>> rates_;
};

}  // namespace

int main(int argc, char** argv)
{
    for (const ModeCase& c : kCases) {
        const std::string key = "/mode" + std::to_string(c.mode);
        benchmark::RegisterBenchmark(("encode" + key).c_str(), encodeOurs, c);
        benchmark::RegisterBenchmark(("spandsp_encode" + key).c_str(), encodeSpandsp, c);
        benchmark::RegisterBenchmark(("decode" + key).c_str(), decodeOurs, c);
        benchmark::RegisterBenchmark(("spandsp_decode" + key).c_str(), decodeSpandsp, c);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
