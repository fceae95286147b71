// What each mode number means: codec family, code size and payload layout.
#pragma once

#include <cstdint>

namespace hivoice {

enum class Family { None, G711, AdpcmDvi4, AdpcmIma4, AdpcmRaw, G726, G726Word };

enum class Companding { Alaw, Ulaw };

struct ModeInfo {
    Family family = Family::None;
    Companding law = Companding::Alaw;  // G711 only
    bool swapped = false;                // G711: earlier sample in the high byte
    int bits = 0;                        // G726: bits per code
    bool msbFirst = false;               // G726: codes packed from the most significant bit
};

constexpr ModeInfo describeMode(int mode)
{
    switch (mode) {
    case 1: return {Family::G711, Companding::Alaw, false, 0, false};
    case 2: return {Family::G711, Companding::Ulaw, false, 0, false};
    case 0x41: return {Family::G711, Companding::Alaw, true, 0, false};
    case 0x42: return {Family::G711, Companding::Ulaw, true, 0, false};
    case 3: return {Family::AdpcmDvi4, Companding::Alaw, false, 0, false};
    case 0x23: return {Family::AdpcmIma4, Companding::Alaw, false, 0, false};
    case 0x43: return {Family::AdpcmRaw, Companding::Alaw, false, 0, false};
    case 4: case 5: case 6: case 7:
        return {Family::G726, Companding::Alaw, false, mode - 2, false};
    case 0x24: case 0x25: case 0x26: case 0x27:
        return {Family::G726, Companding::Alaw, false, mode - 0x22, true};
    case 0x44: return {Family::G726Word, Companding::Alaw, false, 2, true};
    default: return {};
    }
}

}  // namespace hivoice
