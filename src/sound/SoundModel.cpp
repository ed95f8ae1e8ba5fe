#include "sound/SoundModel.h"

#include <cmath>
#include <cstring>

#include "sound/CoreFiles.h"
#include "sound/DspModel.h"
#include "sound/FieldCodec.h"
#include "sound/Speakers.h"

using namespace sound;

namespace {

// Fields of the Stereo Cabs core that move with the delay variant
// (index 0 Stereo Enhancer, 1 Notcher/Doubler).
struct VariantWords {
    int ownBlend, otherBlend, volume, delayA, delayB;
};
const VariantWords variantWords[2][2] = {
    {{5, 6, 7, 11, 12}, {10, 11, 12, 8, 9}},        // left
    {{19, 20, 21, 25, 26}, {24, 25, 26, 22, 23}},   // right
};

const int toneWord[2] = {1, 15};        // k, diff, highGain follow each other
const int gainWord[2] = {4, 18};
const int filterSlot[2] = {1, 60};      // image word of each side's filter block
const int toneImageWord[2] = {47, 106}; // then 48, 49 and the gain word
const int sectionWord[5] = {0, 2, 3, 6, 7};     // c0..c4 inside a 9-word section

// Room words of the Stereo Mics core.
const int tailWord[2] = {46, 65};
const int sendWord[2] = {53, 72};       // room send, also the tail address
const int closeWord[2] = {54, 73};      // close microphone level
const int timeWords[2] = {37, 57};
const int colorWords[4] = {20, 26, 43, 64};

const double sendSign[2] = {0.6, -0.6};
const double rebuildTail = 1.85;        // tail factor of a full rebuild
const double changeTail = 1.8;          // tail factor of a blend or volume change

const uint8_t firstWord[4] = {0x01, 0x40, 0x12, 0xD2};
const uint8_t padWord[4] = {0x00, 0x00, 0x00, 0x11};

int clampInt(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

class SoundModelImpl {
public:
    uint8_t p[ParamCount];
    DspModel m;
    CoreFiles files;
    uint8_t sc[ScCoreWords][4];
    uint8_t sm[SmCoreWords][4];
    uint8_t filter[2][FilterWords][4];
    uint8_t image[512] = {};
    bool live = true;
    bool liveBeforeApply = true;
    bool soloOn[2] = {false, false};
    bool flatTone[2] = {false, false};
    int mode = 0;           // the mode the operations compute for
    int imageMode = 0;      // the layout the image holds
    int saved[2] = {3, 23};
    CategoryMemory memory;

    explicit SoundModelImpl(const std::string& binDir);

    // --- places in the image -------------------------------------------------
    uint8_t* img(int word) { return image + 4 * word; }
    void copyWord(int imageWord, const uint8_t* src) { std::memcpy(img(imageWord), src, 4); }
    void copyField(int imageWord, const uint8_t* src) { std::memcpy(img(imageWord), src, 2); }
    static int scImageWord(int w) { return w < 14 ? 46 + w : 91 + w; }
    void scToImage(int w) { if (imageMode == 0) copyWord(scImageWord(w), sc[w]); }
    void smToImage(int w) { if (imageMode == 1) copyWord(46 + w, sm[w]); }

    // The core that holds a side's tone and gain words: the left side's is the
    // core of the current mode, the right side's always the Stereo Cabs core.
    uint8_t (*sideCore(int side))[4] { return side == 0 && mode == 1 ? sm : sc; }
    // Whether the image currently shows the side's filter block / tone words.
    bool filterShown(int side) const { return side == 0 || imageMode == 0; }
    bool toneShown(int side) const { return side == 0 ? mode == imageMode : imageMode == 0; }
    bool muted(int side) const { return soloOn[1 - side]; }
    int variant() const { return (p[Flags] & FlagNotcher) ? 1 : 0; }

    ToneStage& tone(int side) { return side ? m.toneR : m.toneL; }
    double& volume(int side) { return side ? m.volumeR : m.volumeL; }
    double& speakerGain(int side) { return side ? m.speakerGainR : m.speakerGainL; }
    BlendWeights& cabsBlend(int side) { return side ? m.cabsBlendR : m.cabsBlendL; }
    BlendWeights& micsBlend(int side) { return side ? m.micsBlendR : m.micsBlendL; }

    // --- computations --------------------------------------------------------
    void writeToneWords(int side);
    bool publishTone(int side);
    void computeTone(int side);
    void writeCabsBlend(int side);
    void writeCabsVolume(int side);
    void writeDelayAddresses();
    void writeRoomLevels(int side, double tail, bool depthOnly);
    void writeRoomAddresses();
    void writeTime();
    void writeColor();
    void writeLeftToneAndGain();
    void rebuildSc();
    void rebuildSm();
    void mirrorSide(int from);
    void restoreSide(int side);
    const SpeakerRecord& recordFor(int side, int speakerByte) const;

    // --- operations ----------------------------------------------------------
    bool loadSpeaker(int side, int speakerByte);
    bool setCabinet(int side, bool opened);
    bool setMic(int side, int position);
    bool setVolume(int side, int value);
    bool setBlend(int side, int value);
    bool setDelay(int value);
    bool setTime(int percent);
    bool setDepth(int percent);
    bool setColor(int color);
    bool setUltraShort(bool on);
    bool setDelayVariant(int item);
    bool setRoomSize(int size);
    bool setSolo(int side, bool on);
    bool enterMode(int stereoMics);
    void exchangeDelayWords(int item);
    void beginApply(const uint8_t block[ParamCount]);
};

SoundModelImpl::SoundModelImpl(const std::string& binDir)
{
    files.load(binDir);
    std::memcpy(sc, files.coreA, sizeof sc);
    std::memcpy(sm, files.smCore, sizeof sm);
    std::memcpy(filter[0], files.filterL, sizeof filter[0]);
    std::memcpy(filter[1], files.filterR, sizeof filter[1]);
    std::memcpy(p, defaultParams, ParamCount);
    copyWord(0, firstWord);
    for (int w = 119; w < 128; ++w) copyWord(w, padWord);
}

const SpeakerRecord& SoundModelImpl::recordFor(int side, int b) const
{
    int r = speakerRecordIndex(b);
    if (!speakerHasCabinet(b)) return files.gearMiscSet[r];
    uint8_t bit = side ? FlagRightOpen : FlagLeftOpen;
    return (p[Flags] & bit) ? files.openSet[r] : files.sealedSet[r];
}

void SoundModelImpl::writeToneWords(int side)
{
    uint8_t (*core)[4] = sideCore(side);
    const ToneStage& t = tone(side);
    writeC16(core[toneWord[side]], t.k);
    writeC16(core[toneWord[side] + 1], t.diff);
    writeC16(core[toneWord[side] + 2], t.highGain);
}

// Copies the side's tone fields to the image, and to the other side's place
// while this side is soloed. False when the image does not play them.
bool SoundModelImpl::publishTone(int side)
{
    if (muted(side) || !toneShown(side)) return false;
    uint8_t (*core)[4] = sideCore(side);
    for (int i = 0; i < 3; ++i) copyField(toneImageWord[side] + i, core[toneWord[side] + i]);
    if (soloOn[side])
        for (int i = 0; i < 3; ++i) copyField(toneImageWord[1 - side] + i, core[toneWord[side] + i]);
    return true;
}

// "Full Range Speaker" has no microphone position: its tone is flat (a = 0.5).
void SoundModelImpl::computeTone(int side)
{
    double a = flatTone[side] ? 0.5 : p[side ? Mic_R : Mic_L] / 62.0;
    tone(side) = microphoneTone(a);
    writeToneWords(side);
}

void SoundModelImpl::writeCabsBlend(int side)
{
    const VariantWords& v = variantWords[side][variant()];
    const BlendWeights& b = cabsBlend(side);
    // Left: cos weighs its own speaker. Right: sin weighs its own speaker.
    writeC16(sc[v.ownBlend], side ? b.sin : b.cos);
    writeC16(sc[v.otherBlend], side ? b.cos : b.sin);
    scToImage(v.ownBlend);
    scToImage(v.otherBlend);
}

void SoundModelImpl::writeCabsVolume(int side)
{
    const VariantWords& v = variantWords[side][variant()];
    writeC16(sc[v.volume], 1.5 * volume(side));
    scToImage(v.volume);
}

void SoundModelImpl::writeDelayAddresses()
{
    unsigned nL = unsigned(m.delayL), nR = unsigned(m.delayR);
    const VariantWords& l = variantWords[0][variant()];
    const VariantWords& r = variantWords[1][variant()];
    writeAddress(sc[l.delayA], nL);
    writeAddress(sc[l.delayB], DelayLineLength + nL);
    writeAddress(sc[r.delayA], 2 * DelayLineLength + nR);
    writeAddress(sc[r.delayB], 3 * DelayLineLength + nR);
    for (int w : {l.delayA, l.delayB, r.delayA, r.delayB}) scToImage(w);
}

// The room levels of one side: reverb tail, six early reflections, the room
// send and (unless only DEPTH changed) the close microphone.
void SoundModelImpl::writeRoomLevels(int side, double tail, bool depthOnly)
{
    double v = volume(side), s = micsBlend(side).sin, c = micsBlend(side).cos;
    const double* taps = side ? m.tapGainR : m.tapGainL;
    const int* tapWords = side ? m.tapWordR : m.tapWordL;
    writeC11(sm[tailWord[side]], m.depthSin * v * s * tail);
    smToImage(tailWord[side]);
    for (int i = 0; i < 6; ++i) {
        writeC11(sm[tapWords[i]], m.depthCos * v * s * taps[i]);
        smToImage(tapWords[i]);
    }
    if (depthOnly) return;
    writeC11(sm[sendWord[side]], s * v * sendSign[side]);
    writeC16(sm[closeWord[side]], v * 1.5 * c);
    smToImage(sendWord[side]);
    smToImage(closeWord[side]);
}

void SoundModelImpl::writeRoomAddresses()
{
    int s = m.roomSize;
    for (int i = 0; i < 6; ++i) {
        writeAddress(sm[m.tapWordL[i]], m.roomTable[s][i]);
        writeAddress(sm[m.tapWordR[i]], m.roomTable[2 + s][i]);
    }
    writeAddress(sm[sendWord[0]], 1200u * unsigned(s));
    writeAddress(sm[sendWord[1]], 1200u * unsigned(s));
    for (int w = 46; w <= 53; ++w) smToImage(w);
    for (int w = 65; w <= 72; ++w) smToImage(w);
}

void SoundModelImpl::writeTime()
{
    for (int w : timeWords) {
        writeC16(sm[w], m.timeCoef);
        smToImage(w);
    }
}

void SoundModelImpl::writeColor()
{
    for (int w : colorWords) {
        writeC16(sm[w], m.colorCoef);
        smToImage(w);
    }
}

// The left tone and speaker gain into the core of the mode just entered.
void SoundModelImpl::writeLeftToneAndGain()
{
    writeToneWords(0);
    writeC16(sideCore(0)[gainWord[0]], m.speakerGainL);
}

// Entering Stereo Cabs: left tone and gain, both blends and volumes. The right
// tone and gain and the delay addresses are kept current at all times.
void SoundModelImpl::rebuildSc()
{
    writeLeftToneAndGain();
    for (int side = 0; side < 2; ++side) {
        writeCabsBlend(side);
        writeCabsVolume(side);
    }
}

// Entering Stereo Mics: left tone and gain, room levels, TIME and COLOR. The
// tap addresses are kept by the SIZE computation.
void SoundModelImpl::rebuildSm()
{
    writeLeftToneAndGain();
    writeRoomLevels(0, rebuildTail, false);
    writeRoomLevels(1, rebuildTail, false);
    writeTime();
    writeColor();
}

// Makes both outputs play side `from`: its 25 filter coefficients and its tone
// and gain fields go over the other side's places in the image.
void SoundModelImpl::mirrorSide(int from)
{
    int to = 1 - from;
    for (int j = 0; j < 5; ++j)
        for (int c : sectionWord) copyField(filterSlot[to] + 9 * j + c, filter[from][9 * j + c]);
    const ToneStage& t = tone(from);
    const double fields[4] = {t.k, t.diff, t.highGain, speakerGain(from)};
    for (int i = 0; i < 4; ++i) {
        uint8_t word[4] = {};
        writeC16(word, fields[i]);
        copyField(toneImageWord[to] + i, word);
    }
}

// Puts the side's own filter block, tone and gain back into its places.
void SoundModelImpl::restoreSide(int side)
{
    for (int i = 0; i < 3; ++i) copyWord(toneImageWord[side] + i, sc[toneWord[side] + i]);
    copyField(toneImageWord[side] + 3, sc[gainWord[side]]);
    for (int w = 0; w < FilterWords; ++w) copyWord(filterSlot[side] + w, filter[side][w]);
}

bool SoundModelImpl::loadSpeaker(int side, int speakerByte)
{
    int b = selectableSpeakerOr(speakerByte, side);
    p[side ? Speaker_R : Speaker_L] = uint8_t(b);
    saved[side] = b;
    memory.remember(side, b);

    const SpeakerRecord& rec = recordFor(side, b);
    for (int j = 0; j < 5; ++j)
        for (int c = 0; c < 5; ++c) {
            uint16_t v = uint16_t(rec.word[5 * j + c]);
            uint8_t* word = filter[side][9 * j + sectionWord[c]];
            word[0] = uint8_t(v >> 8);
            word[1] = uint8_t(v & 0xFF);
        }
    uint8_t (*core)[4] = sideCore(side);
    speakerGain(side) = decodeC16(rec.word[SpeakerGainWord]);
    writeC16(core[gainWord[side]], speakerGain(side));

    // Choosing "Full Range Speaker" flattens the tone; leaving it brings back
    // the tone of the wheel's position, so image and block stay in step.
    bool toneChanged = false;
    if (b == FullRangeSpeaker || flatTone[side]) {
        flatTone[side] = b == FullRangeSpeaker;
        computeTone(side);
        toneChanged = true;
    }

    if (muted(side) || !filterShown(side)) return false;
    for (int w = 0; w < FilterWords; ++w) copyWord(filterSlot[side] + w, filter[side][w]);
    if (toneShown(side)) {
        copyField(toneImageWord[side] + 3, core[gainWord[side]]);
        if (toneChanged) publishTone(side);
    }
    if (soloOn[side]) mirrorSide(side);
    return true;
}

bool SoundModelImpl::setCabinet(int side, bool opened)
{
    uint8_t bit = side ? FlagRightOpen : FlagLeftOpen;
    if (bool(p[Flags] & bit) == opened) return false;
    p[Flags] = uint8_t(opened ? (p[Flags] | bit) : (p[Flags] & ~bit));
    int b = p[side ? Speaker_R : Speaker_L];
    if (!speakerHasCabinet(b)) return false;
    return loadSpeaker(side, b);
}

bool SoundModelImpl::setMic(int side, int position)
{
    p[side ? Mic_R : Mic_L] = uint8_t(clampInt(position, 0, 62));
    computeTone(side);
    return publishTone(side);
}

bool SoundModelImpl::setVolume(int side, int value)
{
    int v = clampInt(value, 0, 200);
    p[side ? Volume_R : Volume_L] = uint8_t(v);
    volume(side) = volumeGain(v);
    if (mode == 0) {
        writeCabsVolume(side);
        return imageMode == 0;
    }
    writeRoomLevels(side, changeTail, false);
    return imageMode == 1;
}

bool SoundModelImpl::setBlend(int side, int value)
{
    int b = clampInt(value, 0, 100);
    p[side ? Blend_R : Blend_L] = uint8_t(b);
    double theta = blendAngle(b);
    BlendWeights weights{std::cos(theta), std::sin(theta), b};
    if (mode == 0) {
        cabsBlend(side) = weights;
        writeCabsBlend(side);
        return imageMode == 0;
    }
    micsBlend(side) = weights;
    writeRoomLevels(side, changeTail, false);
    return imageMode == 1;
}

bool SoundModelImpl::setDelay(int value)
{
    bool ultra = p[Flags] & FlagUltraShort;
    int d = clampInt(value, 0, ultra ? 100 : 250);
    p[Delay] = uint8_t(d);
    delaySamples(d, ultra, m.delayL, m.delayR);
    writeDelayAddresses();
    return imageMode == 0;
}

bool SoundModelImpl::setTime(int percent)
{
    int t = clampInt(percent, 0, 100);
    p[Time] = uint8_t(t);
    m.timeCoef = timeCoefficient(t);
    writeTime();
    return imageMode == 1;
}

bool SoundModelImpl::setDepth(int percent)
{
    int d = clampInt(percent, 0, 100);
    p[Depth] = uint8_t(d);
    double phi = blendAngle(d);
    m.depthCos = std::cos(phi);
    m.depthSin = std::sin(phi);
    writeRoomLevels(0, changeTail, true);
    writeRoomLevels(1, rebuildTail, true);
    return imageMode == 1;
}

bool SoundModelImpl::setColor(int color)
{
    int c = clampInt(color, 0, 3);
    p[Flags] = uint8_t((p[Flags] & ~FlagColorMask) | c);
    m.colorCoef = colorCoefficient(c);
    writeColor();
    return imageMode == 1;
}

bool SoundModelImpl::setUltraShort(bool on)
{
    if (bool(p[Flags] & FlagUltraShort) == on) return false;
    // Keep the slider's relative position: 0..250 <-> 0..100.
    int d = on ? p[Delay] * 100 / 250 : p[Delay] * 250 / 100;
    p[Flags] = uint8_t(on ? (p[Flags] | FlagUltraShort) : (p[Flags] & ~FlagUltraShort));
    return setDelay(d);
}

void SoundModelImpl::exchangeDelayWords(int item)
{
    item = item ? 1 : 0;
    p[Flags] = uint8_t(item ? (p[Flags] | FlagNotcher) : (p[Flags] & ~FlagNotcher));
    const uint8_t (*from)[4] = item ? files.coreB : files.coreA;
    for (int w = 5; w <= 12; ++w) std::memcpy(sc[w], from[w], 4);
    for (int w = 19; w <= 26; ++w) std::memcpy(sc[w], from[w], 4);
}

bool SoundModelImpl::setDelayVariant(int item)
{
    bool wasLive = live;
    live = false;
    exchangeDelayWords(item);
    for (int w = 5; w <= 12; ++w) scToImage(w);
    for (int w = 19; w <= 26; ++w) scToImage(w);
    // The blend, volume and delay fields move with the variant.
    setBlend(0, p[Blend_L]);
    setBlend(1, p[Blend_R]);
    setVolume(0, p[Volume_L]);
    setVolume(1, p[Volume_R]);
    setDelay(p[Delay]);
    live = wasLive;
    return true;
}

bool SoundModelImpl::setRoomSize(int size)
{
    int s = clampInt(size, 0, 1);
    bool changed = m.roomSize != s;
    p[Flags] = uint8_t(s ? (p[Flags] | FlagRoomMedium) : (p[Flags] & ~FlagRoomMedium));
    m.roomSize = s;
    writeRoomAddresses();   // cheap, and keeps the addresses right whatever came before
    return changed && imageMode == 1;
}

bool SoundModelImpl::setSolo(int side, bool on)
{
    if (mode != 0 || imageMode != 0) return false;  // Solo exists in Stereo Cabs only
    if (soloOn[side] == on) return false;
    int other = 1 - side;
    if (on) {
        if (soloOn[other]) {
            soloOn[other] = false;
            restoreSide(side);
        }
        soloOn[side] = true;
        mirrorSide(side);
    } else {
        soloOn[side] = false;
        restoreSide(other);
    }
    return true;
}

bool SoundModelImpl::enterMode(int stereoMics)
{
    int next = stereoMics ? 1 : 0;
    bool rightSolo = soloOn[1];
    soloOn[0] = soloOn[1] = false;
    mode = next;
    p[Flags] = uint8_t(next ? (p[Flags] | FlagStereoMics) : (p[Flags] & ~FlagStereoMics));
    imageMode = next;
    if (next == 0) {
        p[Blend_L] = uint8_t(m.cabsBlendL.position);
        p[Blend_R] = uint8_t(m.cabsBlendR.position);
        rebuildSc();
        for (int w = 0; w < ScCoreWords; ++w) copyWord(scImageWord(w), sc[w]);
        for (int w = 0; w < FilterWords; ++w) copyWord(filterSlot[1] + w, filter[1][w]);
        for (int w = 119; w < 128; ++w) copyWord(w, padWord);
    } else {
        p[Blend_L] = uint8_t(m.micsBlendL.position);
        p[Blend_R] = uint8_t(m.micsBlendR.position);
        rebuildSm();
        for (int w = 0; w < SmCoreWords; ++w) copyWord(46 + w, sm[w]);
    }
    // A right Solo had put the right filter over the left slot; words 47..50
    // already hold the left tone and gain from the new core.
    if (rightSolo)
        for (int w = 0; w < FilterWords; ++w) copyWord(filterSlot[0] + w, filter[0][w]);
    return true;
}

void SoundModelImpl::beginApply(const uint8_t block[ParamCount])
{
    liveBeforeApply = live;
    live = false;
    if (soloOn[0]) setSolo(0, false);
    else if (soloOn[1]) setSolo(1, false);
    sanitizeParams(block, p);
}

// ---------------------------------------------------------------------------

SoundModel::SoundModel(const std::string& binDir) : impl(new SoundModelImpl(binDir))
{
    // The default block brings model, working copies and image into their
    // first state, exactly as a later Apply of it would.
    apply(defaultParams);
}
SoundModel::~SoundModel() { delete impl; }

bool SoundModel::coreFilesOk() const { return impl->files.ok; }
const std::string& SoundModel::loadProblems() const { return impl->files.problems; }
const uint8_t* SoundModel::params() const { return impl->p; }
uint8_t* SoundModel::params() { return impl->p; }
const uint8_t* SoundModel::image() const { return impl->image; }
bool SoundModel::live() const { return impl->live; }
void SoundModel::setLive(bool on) { impl->live = on; }

bool SoundModel::loadSpeaker(Side side, int speakerByte) { return impl->loadSpeaker(side, speakerByte); }
bool SoundModel::setCabinet(Side side, bool opened) { return impl->setCabinet(side, opened); }
bool SoundModel::setMic(Side side, int position) { return impl->setMic(side, position); }
bool SoundModel::setVolume(Side side, int value) { return impl->setVolume(side, value); }
bool SoundModel::setBlend(Side side, int value) { return impl->setBlend(side, value); }
bool SoundModel::setDelay(int value) { return impl->setDelay(value); }
bool SoundModel::setTime(int percent) { return impl->setTime(percent); }
bool SoundModel::setDepth(int percent) { return impl->setDepth(percent); }
bool SoundModel::setColor(int color) { return impl->setColor(color); }
bool SoundModel::setUltraShort(bool on) { return impl->setUltraShort(on); }
bool SoundModel::setDelayVariant(int item) { return impl->setDelayVariant(item); }
bool SoundModel::setRoomSize(int size) { return impl->setRoomSize(size); }

bool SoundModel::setMode(int stereoMics)
{
    if ((stereoMics ? 1 : 0) == impl->mode) return false;
    return impl->enterMode(stereoMics);
}

bool SoundModel::setSolo(Side side, bool on) { return impl->setSolo(side, on); }
bool SoundModel::solo(Side side) const { return impl->soloOn[side]; }
int SoundModel::savedSpeaker(Side side) const { return impl->saved[side]; }

void SoundModel::restoreSavedSpeaker(Side side, int speakerByte) {
    impl->saved[side] = selectableSpeakerOr(speakerByte & 0xFF, side);
}

// The steps a panel applying a block through its handlers runs too.
void SoundModel::apply(const uint8_t block[ParamCount])
{
    beginApply(block);
    const uint8_t* p = impl->p;
    loadSpeaker(LeftSide, p[Speaker_L]);
    loadSpeaker(RightSide, p[Speaker_R]);
    setRoomSize((p[Flags] & FlagRoomMedium) ? 1 : 0);
    exchangeDelayWords((p[Flags] & FlagNotcher) ? 1 : 0);
    int stereoMics = (p[Flags] & FlagStereoMics) ? 1 : 0;
    recordMode(stereoMics);
    setColor(p[Flags] & FlagColorMask);
    setMic(LeftSide, p[Mic_L]);
    setMic(RightSide, p[Mic_R]);
    setVolume(LeftSide, p[Volume_L]);
    setVolume(RightSide, p[Volume_R]);
    setBlend(LeftSide, p[Blend_L]);
    setBlend(RightSide, p[Blend_R]);
    setDelay(p[Delay]);
    setTime(p[Time]);
    setDepth(p[Depth]);
    enterMode(stereoMics);
    endApply();
}

void SoundModel::beginApply(const uint8_t block[ParamCount]) { impl->beginApply(block); }
void SoundModel::exchangeDelayWords(int item) { impl->exchangeDelayWords(item); }
void SoundModel::recordMode(int stereoMics) { impl->mode = stereoMics ? 1 : 0; }
bool SoundModel::enterMode(int stereoMics) { return impl->enterMode(stereoMics); }
void SoundModel::endApply() { impl->live = impl->liveBeforeApply; }

int SoundModel::stereoMode() const { return impl->mode; }
bool SoundModel::micWheelEnabled(Side side) const { return !impl->flatTone[side]; }
const CategoryMemory& SoundModel::categoryMemory() const { return impl->memory; }
const DspModel& SoundModel::model() const { return impl->m; }
const uint8_t* SoundModel::scCore() const { return &impl->sc[0][0]; }
const uint8_t* SoundModel::smCore() const { return &impl->sm[0][0]; }
const uint8_t* SoundModel::filterBlock(Side side) const { return &impl->filter[side][0][0]; }
