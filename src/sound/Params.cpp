#include "sound/Params.h"

#include "sound/Speakers.h"

using namespace sound;

const uint8_t defaultParams[ParamCount] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};

int paramMax(int index, uint8_t flags)
{
    switch (index) {
    case Flags: return 255;
    case Speaker_L: case Speaker_R: return HighestSpeaker;
    case Mic_L: case Mic_R: return 62;
    case Volume_L: case Volume_R: return 200;
    case Delay: return (flags & FlagUltraShort) ? 100 : 250;
    default: return 100;    // blends, Time, Depth
    }
}

void sanitizeParams(const uint8_t in[ParamCount], uint8_t out[ParamCount])
{
    uint8_t block[ParamCount];
    for (int i = 0; i < ParamCount; ++i) {
        int top = paramMax(i, in[Flags]);
        block[i] = uint8_t(in[i] > top ? top : in[i]);
    }
    // Speaker bytes are mapped rather than clamped: a header, a submenu title
    // or a value above 77 becomes its category's default item.
    block[Speaker_L] = uint8_t(selectableSpeakerOr(in[Speaker_L], 0));
    block[Speaker_R] = uint8_t(selectableSpeakerOr(in[Speaker_R], 1));
    for (int i = 0; i < ParamCount; ++i) out[i] = block[i];
}

void foldSolo(const uint8_t in[ParamCount], int soloSide, uint8_t out[ParamCount])
{
    for (int i = 0; i < ParamCount; ++i) out[i] = in[i];
    if (soloSide == 0) {
        out[Speaker_R] = in[Speaker_L];
        out[Mic_R] = in[Mic_L];
        out[Flags] = uint8_t((in[Flags] & ~FlagRightOpen) | ((in[Flags] & FlagLeftOpen) ? FlagRightOpen : 0));
    } else {
        out[Speaker_L] = in[Speaker_R];
        out[Mic_L] = in[Mic_R];
        out[Flags] = uint8_t((in[Flags] & ~FlagLeftOpen) | ((in[Flags] & FlagRightOpen) ? FlagLeftOpen : 0));
    }
}
