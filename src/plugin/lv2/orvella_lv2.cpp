// The LV2 front end: audio in (the right input optional), stereo out, the
// latency port and one control port per parameter. A change of the controls
// becomes a program in the host's worker thread (LV2 worker); a host without
// a worker (offline tools) gets it compiled in run(). With the URID feature
// the saved state is the bytes of a local preset file.
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "plugin/plugin_core.h"

#ifndef ORVELLA_DATA_FROM_PLUGIN
#define ORVELLA_DATA_FROM_PLUGIN "../../../share/orvella"
#endif

namespace {

using plugin::ParamCount;

constexpr const char* kUri = "https://kestrova.example/plugins/orvella";
constexpr const char* kStateKey = "https://kestrova.example/plugins/orvella#preset";
enum Port : uint32_t { InL = 0, InR, OutL, OutR, Latency, FirstControl };

struct Lv2Plugin {
    std::unique_ptr<plugin::Sound> sound;
    plugin::Processor processor;
    const float* audioIn[2] = {nullptr, nullptr};
    float* audioOut[2] = {nullptr, nullptr};
    float* latency = nullptr;
    const float* controls[ParamCount] = {};
    std::atomic<int> seen[ParamCount];          // the port values last taken into the sound
    std::atomic<bool> workPending{false};
    LV2_Worker_Schedule* worker = nullptr;
    LV2_URID_Map* map = nullptr;
    bool active = false;
    double rate = dspisa::kSampleRate;

    // The port values as run() last saw them, for the worker.
    std::atomic<int> wanted[ParamCount];

    // Port values (from the ports themselves, or from `wanted` in the
    // worker) that changed since last seen go into the sound; true if any.
    bool takeControls(bool fromPorts) {
        bool changed = false;
        for (int id = 0; id < ParamCount; ++id) {
            if (!controls[id]) continue;
            const int v = fromPorts ? plugin::clampValue(id, *controls[id]) : wanted[id].load();
            if (v == seen[id]) continue;
            seen[id] = v;
            sound->setValue(id, v);
            changed = true;
        }
        return changed;
    }
    // Not on the audio thread: the values to a program the audio thread takes.
    void compile() {
        uint8_t image[dspisa::kImageBytes];
        sound->compile(image);
        processor.publish(image);
    }
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char* bundle, const LV2_Feature* const* features) {
    if (!plugin::Processor::rateSupported(rate)) return nullptr;
    const std::string folder = plugin::findDataFolder(std::string(bundle) + "/orvella.so", ORVELLA_DATA_FROM_PLUGIN);
    if (folder.empty()) return nullptr;
    std::unique_ptr<Lv2Plugin> self(new Lv2Plugin);
    self->rate = rate;
    self->sound.reset(new plugin::Sound(folder + "/bin"));
    if (!self->sound->ok()) return nullptr;
    for (int id = 0; id < ParamCount; ++id) self->seen[id] = self->wanted[id] = self->sound->values().v[id];
    for (int i = 0; features && features[i]; ++i) {
        if (!std::strcmp(features[i]->URI, LV2_WORKER__schedule))
            self->worker = static_cast<LV2_Worker_Schedule*>(features[i]->data);
        if (!std::strcmp(features[i]->URI, LV2_URID__map)) self->map = static_cast<LV2_URID_Map*>(features[i]->data);
    }
    return self.release();
}

void connect(LV2_Handle h, uint32_t port, void* data) {
    Lv2Plugin* self = static_cast<Lv2Plugin*>(h);
    if (port == InL || port == InR) self->audioIn[port - InL] = static_cast<const float*>(data);
    else if (port == OutL || port == OutR) self->audioOut[port - OutL] = static_cast<float*>(data);
    else if (port == Latency) self->latency = static_cast<float*>(data);
    else if (port - FirstControl < uint32_t(ParamCount)) self->controls[port - FirstControl] = static_cast<const float*>(data);
}

void activate(LV2_Handle h) {
    Lv2Plugin* self = static_cast<Lv2Plugin*>(h);
    self->takeControls(true);
    uint8_t image[dspisa::kImageBytes];
    self->sound->compile(image);
    self->active = self->processor.activate(self->rate, image);
}

void run(LV2_Handle h, uint32_t frames) {
    Lv2Plugin* self = static_cast<Lv2Plugin*>(h);
    if (self->latency) *self->latency = float(self->processor.latency());
    if (!self->audioIn[0] || !self->audioOut[0] || !self->audioOut[1]) return;
    bool changed = false;
    for (int id = 0; id < ParamCount; ++id) {
        if (!self->controls[id]) continue;
        const int v = plugin::clampValue(id, *self->controls[id]);
        self->wanted[id].store(v);
        changed = changed || v != self->seen[id];
    }
    if (changed) {
        if (self->worker) {
            const char wake = 1;
            if (!self->workPending.exchange(true))
                self->worker->schedule_work(self->worker->handle, sizeof wake, &wake);
        } else if (self->takeControls(true)) {
            self->compile();
        }
    }
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min<uint32_t>(frames - done, plugin::Processor::MaxBlock);
        self->processor.process(self->audioIn[0] + done, self->audioIn[1] ? self->audioIn[1] + done : nullptr,
                                self->audioOut[0] + done, self->audioOut[1] + done, n);
        done += n;
    }
}

void deactivate(LV2_Handle h) {
    Lv2Plugin* self = static_cast<Lv2Plugin*>(h);
    self->processor.deactivate();
    self->active = false;
}

void cleanup(LV2_Handle h) { delete static_cast<Lv2Plugin*>(h); }

// The worker thread: the controls as they are now become the program.
LV2_Worker_Status work(LV2_Handle h, LV2_Worker_Respond_Function, LV2_Worker_Respond_Handle, uint32_t, const void*) {
    Lv2Plugin* self = static_cast<Lv2Plugin*>(h);
    self->workPending = false;
    self->processor.collect();
    if (self->takeControls(false) && self->active) self->compile();
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status workResponse(LV2_Handle, uint32_t, const void*) { return LV2_WORKER_SUCCESS; }

LV2_State_Status save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const*) {
    Lv2Plugin* self = static_cast<Lv2Plugin*>(h);
    if (!self->map) return LV2_STATE_ERR_NO_FEATURE;
    const std::vector<uint8_t> bytes = self->sound->state();
    return store(handle, self->map->map(self->map->handle, kStateKey), bytes.data(), bytes.size(),
                 self->map->map(self->map->handle, LV2_ATOM__Chunk), LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                         const LV2_Feature* const*) {
    Lv2Plugin* self = static_cast<Lv2Plugin*>(h);
    if (!self->map) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* data = retrieve(handle, self->map->map(self->map->handle, kStateKey), &size, &type, &flags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::string why;
    if (!self->sound->loadState(std::vector<uint8_t>(bytes, bytes + size), why)) return LV2_STATE_ERR_UNKNOWN;
    // The state holds the sound; ports that move afterwards change it again.
    if (self->active) self->compile();
    return LV2_STATE_SUCCESS;
}

const void* extensionData(const char* uri) {
    static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
    static const LV2_State_Interface state = {save, restore};
    if (!std::strcmp(uri, LV2_WORKER__interface)) return &worker;
    if (!std::strcmp(uri, LV2_STATE__interface)) return &state;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {kUri, instantiate, connect, activate, run, deactivate, cleanup, extensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
