// The CLAP front end: the plugin factory, one effect, and the preset
// discovery factory. Everything it plays and stores comes from plugin_core.
#include <atomic>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <clap/clap.h>

#include "base/platform.h"
#include "plugin/plugin_core.h"

#ifndef ORVELLA_DATA_FROM_PLUGIN
#define ORVELLA_DATA_FROM_PLUGIN "../../share/orvella"
#endif
#ifndef ORVELLA_VERSION
#define ORVELLA_VERSION "0"
#endif

namespace {

using plugin::ParamCount;

constexpr const char* kPluginId = "example.kestrova.orvella";
std::string g_pluginPath;

const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_STEREO, nullptr};
const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION_INIT, kPluginId, "Orvella", "Kestrova", "https://kestrova.example/orvella",
    "", "", ORVELLA_VERSION, "The Drevani pedal's speaker-cabinet simulation, the pedal's own program", kFeatures};

enum : clap_id { PresetDecode = 0 };

// The factory bank's load keys: "factory:1" .. "factory:8"; a backup's: "1" .. "8".
int keyIndex(const char* key, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    if (!key || std::strncmp(key, prefix, n) != 0) return -1;
    key += n;
    return (key[0] >= '1' && key[0] <= '8' && key[1] == 0) ? key[0] - '1' : -1;
}

bool endsWith(const std::string& s, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

class Instance {
public:
    explicit Instance(const clap_host_t* host) : host_(host) {
        plugin_.desc = &kDescriptor;
        plugin_.plugin_data = this;
        plugin_.init = [](const clap_plugin_t* p) { return self(p)->init(); };
        plugin_.destroy = [](const clap_plugin_t* p) { delete self(p); };
        plugin_.activate = [](const clap_plugin_t* p, double rate, uint32_t, uint32_t maxFrames) {
            return self(p)->activate(rate, maxFrames);
        };
        plugin_.deactivate = [](const clap_plugin_t* p) { self(p)->deactivate(); };
        plugin_.start_processing = [](const clap_plugin_t*) { return true; };
        plugin_.stop_processing = [](const clap_plugin_t*) {};
        plugin_.reset = [](const clap_plugin_t* p) { self(p)->processor_.reset(); };
        plugin_.process = [](const clap_plugin_t* p, const clap_process_t* process) { return self(p)->process(process); };
        plugin_.get_extension = [](const clap_plugin_t*, const char* id) { return extension(id); };
        plugin_.on_main_thread = [](const clap_plugin_t* p) { self(p)->onMainThread(); };
    }
    const clap_plugin_t* clap() const { return &plugin_; }

private:
    static Instance* self(const clap_plugin_t* p) { return static_cast<Instance*>(p->plugin_data); }

    bool init() {
        const std::string folder = plugin::findDataFolder(g_pluginPath, ORVELLA_DATA_FROM_PLUGIN);
        if (folder.empty()) return false;
        sound_.reset(new plugin::Sound(folder + "/bin"));
        if (!sound_->ok()) return false;
        hostParams_ = static_cast<const clap_host_params_t*>(host_->get_extension(host_, CLAP_EXT_PARAMS));
        hostPresets_ = static_cast<const clap_host_preset_load_t*>(host_->get_extension(host_, CLAP_EXT_PRESET_LOAD));
        shareValues();
        return true;
    }

    // The sound's values become what the host sees and the audio thread edits.
    void shareValues() {
        for (int id = 0; id < ParamCount; ++id) values_[id].store(sound_->values().v[id], std::memory_order_relaxed);
    }

    // Main thread: the values the host set become the program playing.
    void compileShared() {
        dirty_.store(false, std::memory_order_relaxed);
        plugin::ParamValues v;
        for (int id = 0; id < ParamCount; ++id) v.v[id] = values_[id].load(std::memory_order_relaxed);
        sound_->setValues(v);
        if (!active_) return;
        uint8_t image[dspisa::kImageBytes];
        sound_->compile(image);
        processor_.publish(image);
    }

    // Main thread: a preset or state was loaded into the sound.
    void loaded() {
        shareValues();
        compileShared();
        if (hostParams_) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT);
    }

    bool activate(double rate, uint32_t maxFrames) {
        if (maxFrames > plugin::Processor::MaxBlock) return false;
        compileShared();
        uint8_t image[dspisa::kImageBytes];
        sound_->compile(image);
        if (!processor_.activate(rate, image)) return false;
        active_ = true;
        return true;
    }

    void deactivate() {
        processor_.deactivate();
        active_ = false;
    }

    void onMainThread() {
        processor_.collect();
        if (dirty_.load(std::memory_order_relaxed)) compileShared();
    }

    // Audio thread (or the main thread while inactive): parameter changes.
    void readEvents(const clap_input_events_t* in) {
        bool changed = false;
        const uint32_t n = in ? in->size(in) : 0;
        for (uint32_t i = 0; i < n; ++i) {
            const clap_event_header_t* h = in->get(in, i);
            if (h->space_id != CLAP_CORE_EVENT_SPACE_ID || h->type != CLAP_EVENT_PARAM_VALUE) continue;
            const auto* e = reinterpret_cast<const clap_event_param_value_t*>(h);
            if (e->param_id >= ParamCount) continue;
            values_[e->param_id].store(plugin::clampValue(int(e->param_id), e->value), std::memory_order_relaxed);
            changed = true;
        }
        if (!changed) return;
        dirty_.store(true, std::memory_order_relaxed);
        host_->request_callback(host_);
    }

    clap_process_status process(const clap_process_t* p) {
        readEvents(p->in_events);
        if (p->audio_outputs_count < 1 || p->audio_outputs[0].channel_count < 2) return CLAP_PROCESS_ERROR;
        float* const* out = p->audio_outputs[0].data32;
        const float* in0 = nullptr;
        const float* in1 = nullptr;
        if (p->audio_inputs_count >= 1 && p->audio_inputs[0].channel_count >= 1) {
            in0 = p->audio_inputs[0].data32[0];
            if (p->audio_inputs[0].channel_count >= 2) in1 = p->audio_inputs[0].data32[1];
        }
        if (!in0) return CLAP_PROCESS_ERROR;
        processor_.process(in0, in1, out[0], out[1], p->frames_count);
        return CLAP_PROCESS_CONTINUE;
    }

    // --- extensions ---------------------------------------------------------

    static const void* extension(const char* id) {
        if (!std::strcmp(id, CLAP_EXT_AUDIO_PORTS)) return &kAudioPorts;
        if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &kParams;
        if (!std::strcmp(id, CLAP_EXT_STATE)) return &kState;
        if (!std::strcmp(id, CLAP_EXT_LATENCY)) return &kLatency;
        if (!std::strcmp(id, CLAP_EXT_PRESET_LOAD) || !std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT)) return &kPresetLoad;
        return nullptr;
    }

    static const clap_plugin_audio_ports_t kAudioPorts;
    static const clap_plugin_params_t kParams;
    static const clap_plugin_state_t kState;
    static const clap_plugin_latency_t kLatency;
    static const clap_plugin_preset_load_t kPresetLoad;

    static bool portInfo(const clap_plugin_t*, uint32_t index, bool input, clap_audio_port_info_t* info) {
        if (index != 0) return false;
        info->id = input ? 0 : 1;
        std::snprintf(info->name, sizeof info->name, "%s", input ? "DI in" : "Speakers out");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN;
        info->channel_count = 2;
        info->port_type = CLAP_PORT_STEREO;
        info->in_place_pair = CLAP_INVALID_ID;
        return true;
    }

    static bool paramInfo(const clap_plugin_t*, uint32_t index, clap_param_info_t* info) {
        if (index >= ParamCount) return false;
        const plugin::ParamInfo& p = plugin::paramInfo(int(index));
        std::memset(info, 0, sizeof *info);
        info->id = index;
        info->flags = CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | (p.isEnum ? CLAP_PARAM_IS_ENUM : 0);
        std::snprintf(info->name, sizeof info->name, "%s", p.name);
        info->min_value = 0;
        info->max_value = p.max;
        info->default_value = p.def;
        return true;
    }

    bool paramValue(clap_id id, double* value) const {
        if (id >= ParamCount) return false;
        *value = values_[id].load(std::memory_order_relaxed);
        return true;
    }

    bool paramText(clap_id id, double value, char* out, uint32_t size) const {
        plugin::ParamValues all;
        for (int i = 0; i < ParamCount; ++i) all.v[i] = values_[i].load(std::memory_order_relaxed);
        return id < ParamCount && plugin::valueText(int(id), plugin::clampValue(int(id), value), all, out, size);
    }

    void flush(const clap_input_events_t* in) {
        readEvents(in);
        // Inactive, the host calls this on the main thread.
        if (!active_ && dirty_.load(std::memory_order_relaxed)) compileShared();
    }

    bool save(const clap_ostream_t* stream) const {
        const std::vector<uint8_t> bytes = sound_->state();
        for (std::size_t done = 0; done < bytes.size();) {
            const int64_t n = stream->write(stream, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return false;
            done += std::size_t(n);
        }
        return true;
    }

    bool load(const clap_istream_t* stream) {
        std::vector<uint8_t> bytes;
        uint8_t chunk[512];
        for (;;) {
            const int64_t n = stream->read(stream, chunk, sizeof chunk);
            if (n < 0) return false;
            if (n == 0) break;
            bytes.insert(bytes.end(), chunk, chunk + n);
            if (bytes.size() > presetfiles::MaxLopSize) return false;
        }
        std::string why;
        if (!sound_->loadState(bytes, why)) return false;
        loaded();
        return true;
    }

    bool loadPreset(uint32_t kind, const char* location, const char* key) {
        std::string why;
        bool ok = false;
        if (kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN) {
            const int index = keyIndex(key, "factory:");
            ok = index >= 0 ? sound_->loadFactoryPreset(index, why) : (why = "no such preset", false);
        } else if (kind == CLAP_PRESET_DISCOVERY_LOCATION_FILE && location) {
            const int index = keyIndex(key, "");
            ok = index >= 0 ? sound_->loadBackupPreset(location, index, why) : sound_->loadFile(location, why);
        } else {
            why = "no such preset";
        }
        if (!ok) {
            if (hostPresets_) hostPresets_->on_error(host_, kind, location, key, 0, why.c_str());
            return false;
        }
        loaded();
        if (hostPresets_) hostPresets_->loaded(host_, kind, location, key);
        return true;
    }

    const clap_host_t* host_;
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_preset_load_t* hostPresets_ = nullptr;
    clap_plugin_t plugin_;
    std::unique_ptr<plugin::Sound> sound_;
    plugin::Processor processor_;
    std::atomic<int> values_[ParamCount];
    std::atomic<bool> dirty_{false};
    bool active_ = false;
};

const clap_plugin_audio_ports_t Instance::kAudioPorts = {
    [](const clap_plugin_t*, bool) -> uint32_t { return 1; },
    [](const clap_plugin_t* p, uint32_t index, bool input, clap_audio_port_info_t* info) {
        return portInfo(p, index, input, info);
    },
};

const clap_plugin_params_t Instance::kParams = {
    [](const clap_plugin_t*) -> uint32_t { return ParamCount; },
    paramInfo,
    [](const clap_plugin_t* p, clap_id id, double* value) { return self(p)->paramValue(id, value); },
    [](const clap_plugin_t* p, clap_id id, double value, char* out, uint32_t size) {
        return self(p)->paramText(id, value, out, size);
    },
    [](const clap_plugin_t*, clap_id id, const char* text, double* value) {
        return id < ParamCount && plugin::valueFromText(int(id), text, *value) &&
               ((*value = plugin::clampValue(int(id), *value)), true);
    },
    [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t*) { self(p)->flush(in); },
};

const clap_plugin_state_t Instance::kState = {
    [](const clap_plugin_t* p, const clap_ostream_t* s) { return self(p)->save(s); },
    [](const clap_plugin_t* p, const clap_istream_t* s) { return self(p)->load(s); },
};

const clap_plugin_latency_t Instance::kLatency = {
    [](const clap_plugin_t* p) -> uint32_t { return self(p)->processor_.latency(); },
};

const clap_plugin_preset_load_t Instance::kPresetLoad = {
    [](const clap_plugin_t* p, uint32_t kind, const char* location, const char* key) {
        return self(p)->loadPreset(kind, location, key);
    },
};

// --- the plugin factory ---------------------------------------------------------

const clap_plugin_factory_t kPluginFactory = {
    [](const clap_plugin_factory_t*) -> uint32_t { return 1; },
    [](const clap_plugin_factory_t*, uint32_t index) { return index == 0 ? &kDescriptor : nullptr; },
    [](const clap_plugin_factory_t*, const clap_host_t* host, const char* id) -> const clap_plugin_t* {
        if (!clap_version_is_compatible(host->clap_version) || std::strcmp(id, kPluginId) != 0) return nullptr;
        return (new Instance(host))->clap();
    },
};

// --- preset discovery: the factory bank and the local preset folder -------------

const clap_preset_discovery_provider_descriptor_t kProviderDescriptor = {
    CLAP_VERSION_INIT, "example.kestrova.orvella.presets", "Orvella presets", "Kestrova"};

struct Provider {
    clap_preset_discovery_provider_t clap;
    const clap_preset_discovery_indexer_t* indexer;
    std::string localFolder;
    std::unique_ptr<plugin::Sound> sound;       // the factory bank's titles
};

Provider* providerOf(const clap_preset_discovery_provider_t* p) { return static_cast<Provider*>(p->provider_data); }

bool describe(const clap_preset_discovery_metadata_receiver_t* r, const std::string& name, const char* key,
              uint32_t flags) {
    if (!r->begin_preset(r, name.c_str(), key)) return false;
    const clap_universal_plugin_id_t id = {"clap", kPluginId};
    r->add_plugin_id(r, &id);
    r->set_flags(r, flags);
    return true;
}

bool providerInit(const clap_preset_discovery_provider_t* p) {
    Provider* self = providerOf(p);
    const clap_preset_discovery_filetype_t lop = {"Local preset", "An Orvella local preset", "lop"};
    const clap_preset_discovery_filetype_t bkp = {"Backup", "The eight presets of a pedal", "bkp"};
    self->indexer->declare_filetype(self->indexer, &lop);
    self->indexer->declare_filetype(self->indexer, &bkp);
    const clap_preset_discovery_location_t factory = {CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Factory presets",
                                                      CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
    self->indexer->declare_location(self->indexer, &factory);
    const clap_preset_discovery_location_t local = {CLAP_PRESET_DISCOVERY_IS_USER_CONTENT, "Local presets",
                                                    CLAP_PRESET_DISCOVERY_LOCATION_FILE, self->localFolder.c_str()};
    self->indexer->declare_location(self->indexer, &local);
    return true;
}

bool providerMetadata(const clap_preset_discovery_provider_t* p, uint32_t kind, const char* location,
                      const clap_preset_discovery_metadata_receiver_t* r) {
    Provider* self = providerOf(p);
    if (kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN) {
        if (!self->sound) {
            const std::string folder = plugin::findDataFolder(g_pluginPath, ORVELLA_DATA_FROM_PLUGIN);
            if (folder.empty()) return false;
            self->sound.reset(new plugin::Sound(folder + "/bin"));
        }
        for (int i = 0; i < 8; ++i) {
            std::string why;
            if (!self->sound->loadFactoryPreset(i, why)) continue;
            const std::string key = "factory:" + std::to_string(i + 1);
            describe(r, self->sound->name(), key.c_str(), CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
        }
        return true;
    }
    if (kind != CLAP_PRESET_DISCOVERY_LOCATION_FILE || !location) return false;
    const std::string path = location;
    std::vector<uint8_t> bytes;
    if (endsWith(path, ".lop")) {
        std::string name;
        if (!files::readFile(path, bytes) || !presetfiles::lopName(bytes, name)) return false;
        return describe(r, name, nullptr, CLAP_PRESET_DISCOVERY_IS_USER_CONTENT);
    }
    if (endsWith(path, ".bkp")) {
        uint8_t bank[presetfiles::BankSize];
        long size = 0;
        int error = 0;
        if (presetfiles::readBank(path, bank, &size, &error) != presetfiles::BankStatus::Ok) return false;
        for (int i = 0; i < 8; ++i) {
            char shown[presetfiles::TitleSize];
            presetfiles::showableTitle(bank + 8 * presetfiles::BlockSize + presetfiles::TitleSize * i, shown);
            const std::string key = std::to_string(i + 1);
            describe(r, key + " " + std::string(shown, sizeof shown), key.c_str(), CLAP_PRESET_DISCOVERY_IS_USER_CONTENT);
        }
        return true;
    }
    return false;
}

const clap_preset_discovery_factory_t kDiscoveryFactory = {
    [](const clap_preset_discovery_factory_t*) -> uint32_t { return 1; },
    [](const clap_preset_discovery_factory_t*, uint32_t index) {
        return index == 0 ? &kProviderDescriptor : nullptr;
    },
    [](const clap_preset_discovery_factory_t*, const clap_preset_discovery_indexer_t* indexer,
       const char* id) -> const clap_preset_discovery_provider_t* {
        if (std::strcmp(id, kProviderDescriptor.id) != 0) return nullptr;
        Provider* p = new Provider;
        p->indexer = indexer;
        p->localFolder = presetfiles::presetFolder(platform::env("HOMEDRIVE"));
        p->clap.desc = &kProviderDescriptor;
        p->clap.provider_data = p;
        p->clap.init = providerInit;
        p->clap.destroy = [](const clap_preset_discovery_provider_t* q) { delete providerOf(q); };
        p->clap.get_metadata = providerMetadata;
        p->clap.get_extension = [](const clap_preset_discovery_provider_t*, const char*) -> const void* {
            return nullptr;
        };
        return &p->clap;
    },
};

}  // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION_INIT,
    [](const char* path) {
        g_pluginPath = path ? path : "";
        return true;
    },
    [] { g_pluginPath.clear(); },
    [](const char* id) -> const void* {
        if (!std::strcmp(id, CLAP_PLUGIN_FACTORY_ID)) return &kPluginFactory;
        if (!std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) || !std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT))
            return &kDiscoveryFactory;
        return nullptr;
    },
};
