// A small CLAP host of our own: it loads the built plugin file, goes through
// the entry, the factory, params, state, preset-load, audio ports and
// latency as a DAW would, and holds what it plays to the offline render.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <clap/clap.h>

#include "audio/di_clips.h"
#include "audio/resampler.h"
#include "audio/sound_render.h"
#include "presets/PresetFiles.h"
#include "sound/Params.h"
#include "sound/SoundModel.h"
#include "sound/Speakers.h"
#include "dsp/WavFile.h"

// After the program's headers: windows.h defines words such as IN and OUT.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <pthread.h>
#endif

// --- allocations and locks, counted while the host is inside process --------
// The plugin is loaded into this process, so its operator new and its mutex
// calls reach these definitions (Linux: the program exports them).
namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0}, g_locks{0};
}  // namespace

#ifndef _WIN32
void* operator new(std::size_t n) {
    if (g_counting) ++g_allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

extern "C" int pthread_mutex_lock(pthread_mutex_t* m) {
    using Lock = int (*)(pthread_mutex_t*);
    static Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    if (g_counting) ++g_locks;
    return real(m);
}
#endif

namespace {

using sound::ParamCount;

std::string pluginPath() {
    const char* given = std::getenv("ORVELLA_TEST_CLAP");
    return given && *given ? given : ORVELLA_CLAP_PATH;
}

struct Library {
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
    Library() {
        const std::string path = pluginPath();
#ifdef _WIN32
        HMODULE module = LoadLibraryA(path.c_str());
        if (module) entry = reinterpret_cast<const clap_plugin_entry_t*>(GetProcAddress(module, "clap_entry"));
#else
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module) entry = static_cast<const clap_plugin_entry_t*>(dlsym(module, "clap_entry"));
#endif
        if (entry && entry->init(path.c_str()))
            factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    }
};

const Library& library() {
    static Library lib;
    return lib;
}

// What the host hears from the plugin.
struct Host {
    clap_host_t clap;
    clap_host_params_t params;
    clap_host_preset_load_t presets;
    std::atomic<bool> callbackWanted{false};
    int rescans = 0, loadedPresets = 0;
    std::string presetError;

    Host() {
        clap = {CLAP_VERSION_INIT, this, "orvella test host", "Kestrova", "", "1", nullptr, nullptr, nullptr, nullptr};
        clap.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
            Host* self = static_cast<Host*>(h->host_data);
            if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &self->params;
            if (!std::strcmp(id, CLAP_EXT_PRESET_LOAD)) return &self->presets;
            return nullptr;
        };
        clap.request_restart = [](const clap_host_t*) {};
        clap.request_process = [](const clap_host_t*) {};
        clap.request_callback = [](const clap_host_t* h) { static_cast<Host*>(h->host_data)->callbackWanted = true; };
        params.rescan = [](const clap_host_t* h, clap_param_rescan_flags) { ++static_cast<Host*>(h->host_data)->rescans; };
        params.clear = [](const clap_host_t*, clap_id, clap_param_clear_flags) {};
        params.request_flush = [](const clap_host_t*) {};
        presets.on_error = [](const clap_host_t* h, uint32_t, const char*, const char*, int32_t, const char* msg) {
            static_cast<Host*>(h->host_data)->presetError = msg;
        };
        presets.loaded = [](const clap_host_t* h, uint32_t, const char*, const char*) {
            ++static_cast<Host*>(h->host_data)->loadedPresets;
        };
    }
};

struct Events {
    std::vector<clap_event_param_value_t> list;
    clap_input_events_t in{this, [](const clap_input_events_t* l) { return uint32_t(static_cast<const Events*>(l->ctx)->list.size()); },
                           [](const clap_input_events_t* l, uint32_t i) {
                               return &static_cast<const Events*>(l->ctx)->list[i].header;
                           }};
    void add(uint32_t time, clap_id id, double value) {
        clap_event_param_value_t e{};
        e.header = {sizeof e, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        e.param_id = id;
        e.note_id = e.port_index = e.channel = e.key = -1;
        e.value = value;
        list.push_back(e);
    }
};

// One plugin instance and the host around it.
struct Instance {
    Host host;
    const clap_plugin_t* p = nullptr;
    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_state_t* state = nullptr;
    const clap_plugin_preset_load_t* presetLoad = nullptr;
    const clap_plugin_latency_t* latency = nullptr;
    const clap_plugin_audio_ports_t* ports = nullptr;
    std::vector<float> silence = std::vector<float>(8192, 0.0f);

    Instance() {
        if (!library().factory) return;
        p = library().factory->create_plugin(library().factory, &host.clap, "example.kestrova.orvella");
        if (!p || !p->init(p)) return;
        params = static_cast<const clap_plugin_params_t*>(p->get_extension(p, CLAP_EXT_PARAMS));
        state = static_cast<const clap_plugin_state_t*>(p->get_extension(p, CLAP_EXT_STATE));
        presetLoad = static_cast<const clap_plugin_preset_load_t*>(p->get_extension(p, CLAP_EXT_PRESET_LOAD));
        latency = static_cast<const clap_plugin_latency_t*>(p->get_extension(p, CLAP_EXT_LATENCY));
        ports = static_cast<const clap_plugin_audio_ports_t*>(p->get_extension(p, CLAP_EXT_AUDIO_PORTS));
    }
    ~Instance() {
        if (p) p->destroy(p);
    }
    bool ready() const { return params && state && presetLoad && latency && ports; }

    // The host's main thread, as a DAW runs it between blocks.
    void idle() {
        if (host.callbackWanted.exchange(false)) p->on_main_thread(p);
    }

    // One block; in1 null for a mono input.
    void process(const float* in0, const float* in1, float* l, float* r, uint32_t n, Events& events) {
        const float* inputs[2] = {in0, in1 ? in1 : in0};
        float* outputs[2] = {l, r};
        clap_audio_buffer_t in{const_cast<float**>(inputs), nullptr, in1 ? 2u : 1u, 0, 0};
        clap_audio_buffer_t out{outputs, nullptr, 2, 0, 0};
        clap_output_events_t noEvents{nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
        clap_process_t proc{-1, n, nullptr, &in, &out, 1, 1, &events.in, &noEvents};
        g_counting = true;
        const clap_process_status status = p->process(p, &proc);
        g_counting = false;
        ASSERT_EQ(status, CLAP_PROCESS_CONTINUE);
    }

    std::vector<uint8_t> save() {
        std::vector<uint8_t> bytes;
        clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* data, uint64_t n) -> int64_t {
                               auto* b = static_cast<std::vector<uint8_t>*>(s->ctx);
                               b->insert(b->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + n);
                               return int64_t(n);
                           }};
        EXPECT_TRUE(state->save(p, &out));
        return bytes;
    }
    bool load(const std::vector<uint8_t>& bytes) {
        struct Reader { const std::vector<uint8_t>* b; std::size_t at; } r{&bytes, 0};
        clap_istream_t in{&r, [](const clap_istream_t* s, void* data, uint64_t n) -> int64_t {
                              auto* rd = static_cast<Reader*>(s->ctx);
                              // A stream that hands out a few bytes at a time, as some hosts' do.
                              const std::size_t m = std::min<std::size_t>({std::size_t(n), rd->b->size() - rd->at, 5});
                              std::memcpy(data, rd->b->data() + rd->at, m);
                              rd->at += m;
                              return int64_t(m);
                          }};
        return state->load(p, &in);
    }
    double value(clap_id id) {
        double v = -1;
        EXPECT_TRUE(params->get_value(p, id, &v));
        return v;
    }
};

// A random record a pedal can hold, and its Solo (0 none, 1 left, 2 right).
void randomRecord(std::mt19937& rng, uint8_t block[ParamCount], int& solo) {
    std::vector<int> speakers;
    for (int b = 0; b < sound::SpeakerTableSize; ++b)
        if (isSelectableSpeaker(b)) speakers.push_back(b);
    block[sound::Flags] = uint8_t(rng());
    for (int i = 1; i < ParamCount; ++i) block[i] = uint8_t(rng() % (paramMax(i, block[sound::Flags]) + 1));
    block[sound::Speaker_L] = uint8_t(speakers[rng() % speakers.size()]);
    block[sound::Speaker_R] = uint8_t(speakers[rng() % speakers.size()]);
    solo = (block[sound::Flags] & sound::FlagStereoMics) ? 0 : int(rng() % 3);
}

// The parameter values a Dashboard showing the record has, in the plugin's
// order: Mode, speakers (their place among the speakers a menu offers),
// cabinets, microphones, volumes, blends, delay, Ultra-short, delay use,
// room size, time, depth, color, Solo.
std::vector<double> dashboardValues(const uint8_t b[ParamCount], int solo) {
    auto place = [](int byte) {
        int n = 0;
        for (int i = 0; i < byte; ++i) n += isSelectableSpeaker(i);
        return n;
    };
    const uint8_t f = b[sound::Flags];
    return {double(f >> 3 & 1), double(place(b[1])), double(place(b[2])), double(f >> 4 & 1), double(f >> 5 & 1),
            double(b[3]), double(b[4]), double(b[5]), double(b[6]), double(b[7]), double(b[8]), double(b[9]),
            double(f >> 6 & 1), double(f >> 7 & 1), double(f >> 2 & 1), double(b[10]), double(b[11]), double(f & 3),
            double(solo)};
}

// What the pedal plays for the record: Apply, then the Solo.
void pedalImage(const uint8_t block[ParamCount], int solo, uint8_t image[dspisa::kImageBytes]) {
    SoundModel model(ORVELLA_BIN_DIR);
    model.apply(block);
    if (solo) model.setSolo(solo == 1 ? sound::LeftSide : sound::RightSide, true);
    std::memcpy(image, model.image(), dspisa::kImageBytes);
}

std::vector<uint8_t> factoryBank() {
    std::vector<uint8_t> bank;
    files::readFile(std::string(ORVELLA_BIN_DIR) + "/factoryset.fap", bank);
    return bank;
}

class ClapHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library().factory) << "cannot load " << pluginPath();
        ASSERT_EQ(library().factory->get_plugin_count(library().factory), 1u);
    }
};

// The generic view a host builds: every parameter automatable and stepped,
// its default what the default block gives, every value's text read back as
// the same value, names unique.
TEST_F(ClapHost, ParametersAreTheDashboardsControls) {
    Instance a;
    ASSERT_TRUE(a.ready());
    const uint32_t count = a.params->count(a.p);
    ASSERT_EQ(count, 19u);
    const std::vector<double> defaults = dashboardValues(defaultParams, 0);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < count; ++i) {
        clap_param_info_t info;
        ASSERT_TRUE(a.params->get_info(a.p, i, &info));
        EXPECT_EQ(info.id, i);
        EXPECT_TRUE((info.flags & CLAP_PARAM_IS_AUTOMATABLE) && (info.flags & CLAP_PARAM_IS_STEPPED)) << info.name;
        EXPECT_EQ(info.default_value, defaults[i]) << info.name;
        for (const std::string& n : names) EXPECT_NE(n, info.name);
        names.push_back(info.name);
        for (int v = 0; v <= int(info.max_value); ++v) {
            char text[CLAP_NAME_SIZE];
            double back = -1;
            ASSERT_TRUE(a.params->value_to_text(a.p, i, v, text, sizeof text));
            EXPECT_TRUE(a.params->text_to_value(a.p, i, text, &back) && back == v) << info.name << " " << v << " '" << text << "'";
        }
    }
    clap_param_info_t speaker;
    a.params->get_info(a.p, 1, &speaker);
    int selectable = 0;
    for (int b = 0; b < sound::SpeakerTableSize; ++b) selectable += isSelectableSpeaker(b);
    EXPECT_EQ(int(speaker.max_value) + 1, selectable);
    // One stereo output; the input takes a stereo or a mono signal.
    clap_audio_port_info_t port;
    ASSERT_EQ(a.ports->count(a.p, false), 1u);
    ASSERT_TRUE(a.ports->get(a.p, 0, false, &port));
    EXPECT_EQ(port.channel_count, 2u);
}

// A new instance plays the factory bank's first preset; parameter events in
// the middle of blocks of random sizes set a random record; once the program
// is taken, what the plugin plays is the offline render sample for sample,
// with a mono and a stereo input; and process neither allocates nor locks.
TEST_F(ClapHost, PlaysTheRenderOfTheParametersSet) {
    std::mt19937 rng(20261208);
    const std::vector<uint8_t> bank = factoryBank();
    ASSERT_EQ(bank.size(), presetfiles::BankSize);
    const std::vector<float> di = audio::makeClip(audio::Clip::GuitarRiff);
    for (int round = 0; round < 4; ++round) {
        Instance a;
        ASSERT_TRUE(a.ready());
        const std::vector<double> first = dashboardValues(bank.data(), 0);
        for (clap_id id = 0; id < 19; ++id) EXPECT_EQ(a.value(id), first[id]) << "parameter " << id;
        // The counting reaches the plugin: activation allocates its interpreter.
        g_counting = true;
        [[maybe_unused]] const long before = g_allocations;
        ASSERT_TRUE(a.p->activate(a.p, 48000, 1, 8192));
        g_counting = false;
#ifndef _WIN32
        EXPECT_GT(g_allocations, before);
#endif
        ASSERT_TRUE(a.p->start_processing(a.p));
        EXPECT_EQ(a.latency->get(a.p), 0u);

        uint8_t block[ParamCount];
        int solo = 0;
        randomRecord(rng, block, solo);
        const std::vector<double> values = dashboardValues(block, solo);
        std::vector<float> l(8192), r(8192);
        // The changes arrive scattered over a few blocks, in silence.
        for (clap_id id = 0; id < 19;) {
            const uint32_t n = 1 + rng() % 700;
            Events events;
            for (; id < 19 && rng() % 3; ++id) events.add(uint32_t(rng() % n), id, values[id]);
            a.process(a.silence.data(), nullptr, l.data(), r.data(), n, events);
            a.idle();
        }
        Events none;
        for (int i = 0; i < 3; ++i) {
            a.idle();
            a.process(a.silence.data(), nullptr, l.data(), r.data(), 256, none);
        }
        for (clap_id id = 0; id < 19; ++id) EXPECT_EQ(a.value(id), values[id]);

        uint8_t image[dspisa::kImageBytes];
        pedalImage(block, solo, image);
        const bool stereo = round % 2;
        std::vector<float> in0 = di, in1 = di;
        for (std::size_t i = 0; i < in1.size(); ++i) in1[i] = di[(i * 7) % di.size()] * 0.5f;
        in0.resize(di.size() + 48000, 0.0f);
        in1.resize(in0.size(), 0.0f);
        wav::Audio mix;
        mix.channels = 2;
        for (std::size_t i = 0; i < di.size(); ++i) mix.samples.insert(mix.samples.end(), {in0[i], in1[i]});
        const audio::Stereo expected = audio::render(image, stereo ? wav::mixToMono(mix) : di, 48000);

        std::vector<float> outL(in0.size()), outR(in0.size());
        [[maybe_unused]] const long allocations = g_allocations, locks = g_locks;
        for (std::size_t done = 0; done < in0.size();) {
            const std::size_t n = std::min<std::size_t>(in0.size() - done, rng() % 4 ? 1 + rng() % 300 : 1 + rng() % 8192);
            Events same;      // events that change nothing, mid-block
            if (rng() % 4 == 0) same.add(uint32_t(rng() % n), rng() % 19, 0), same.list[0].value = values[same.list[0].param_id];
            a.process(in0.data() + done, stereo ? in1.data() + done : nullptr, outL.data() + done, outR.data() + done,
                      uint32_t(n), same);
            done += n;
        }
#ifndef _WIN32
        EXPECT_EQ(g_allocations - allocations, 0) << "process allocated";
        EXPECT_EQ(g_locks - locks, 0) << "process locked a mutex";
#endif
        ASSERT_EQ(outL.size(), expected.frames());
        std::size_t firstDifference = outL.size();
        for (std::size_t i = 0; i < outL.size() && firstDifference == outL.size(); ++i)
            if (outL[i] != expected.left[i] || outR[i] != expected.right[i]) firstDifference = i;
        EXPECT_EQ(firstDifference, outL.size()) << "round " << round << ", stereo " << stereo;
        // The Wine tests compare these bytes with the Linux plugin's.
        const char* keep = std::getenv("ORVELLA_PLUGIN_OUTPUT");
        if (keep && *keep && round == 0) {
            std::ofstream file(keep, std::ios::binary);
            file.write(reinterpret_cast<const char*>(outL.data()), std::streamsize(outL.size() * sizeof(float)));
            file.write(reinterpret_cast<const char*>(outR.data()), std::streamsize(outR.size() * sizeof(float)));
        }

        // The state holds the record the pedal stores (a Solo folded in).
        presetfiles::LocalPreset saved;
        ASSERT_EQ(presetfiles::decodeLop(a.save(), saved), presetfiles::LopStatus::Ok);
        uint8_t record[ParamCount];
        std::memcpy(record, block, ParamCount);
        if (solo) presetfiles::foldSolo(record, solo == 1, solo == 2);
        EXPECT_EQ(std::vector<uint8_t>(saved.preset.record(), saved.preset.record() + ParamCount), std::vector<uint8_t>(record, record + ParamCount));
        a.p->stop_processing(a.p);
        a.p->deactivate(a.p);
    }
}

// At another rate the plugin plays the render of the signal brought to the
// pedal's rate and back with the project's resampler, exactly, as late as
// the latency it reports; a change of rate goes through deactivate and
// activate on the same instance.
TEST_F(ClapHost, OtherRatesResampleAndReportTheirLatency) {
    std::mt19937 rng(44100);
    const std::vector<uint8_t> bank = factoryBank();
    ASSERT_EQ(bank.size(), presetfiles::BankSize);
    uint8_t image[dspisa::kImageBytes];
    pedalImage(bank.data(), 0, image);
    std::vector<float> di = audio::makeClip(audio::Clip::GuitarChords);
    di.resize(di.size() / 2);
    Instance a;
    ASSERT_TRUE(a.ready());
    for (int rate : {44100, 96000, 48000, 22050}) {
        ASSERT_TRUE(a.p->activate(a.p, rate, 1, 8192)) << rate;
        const uint32_t latency = a.latency->get(a.p);
        EXPECT_EQ(latency == 0, rate == 48000) << rate;
        EXPECT_LT(latency, uint32_t(rate / 100)) << rate;      // under 10 ms
        std::vector<float> in = audio::resample(di, 48000, rate);
        in.resize(in.size() + rate / 2, 0.0f);
        const std::vector<float> expected =
            audio::resample(audio::render(image, audio::resample(in, rate, 48000), 0).left, 48000, rate);
        std::vector<float> l(in.size()), r(in.size());
        Events none;
        [[maybe_unused]] const long allocations = g_allocations;
        for (std::size_t done = 0; done < in.size();) {
            const std::size_t n = std::min<std::size_t>(in.size() - done, 1 + rng() % (rng() % 2 ? 64 : 8192));
            a.process(in.data() + done, nullptr, l.data() + done, r.data() + done, uint32_t(n), none);
            done += n;
        }
#ifndef _WIN32
        EXPECT_EQ(g_allocations - allocations, 0) << rate;
#endif
        for (uint32_t i = 0; i < latency; ++i) ASSERT_EQ(l[i], 0.0f) << rate;
        std::size_t first = in.size();
        for (std::size_t j = 0; j + latency + rate / 4 < in.size() && first == in.size(); ++j)
            if (l[j + latency] != expected[j]) first = j;
        EXPECT_EQ(first, in.size()) << rate << " Hz differs from frame " << first;
        a.p->deactivate(a.p);
    }
    EXPECT_FALSE(a.p->activate(a.p, 44100.5, 1, 8192));
    EXPECT_FALSE(a.p->activate(a.p, 48000, 1, 8193));
}

// Only what the editor would take comes in: a state saved and loaded into a
// new instance gives the same bytes; a state that is no valid record, the
// factory bank, .lop files and backups go through preset-load, and what is
// refused changes nothing.
TEST_F(ClapHost, StateAndPresetsTravelAsLocalPresetFiles) {
    Instance a, b;
    ASSERT_TRUE(a.ready() && b.ready());
    EXPECT_TRUE(a.presetLoad->from_location(a.p, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "factory:5"));
    Events change;
    change.add(0, 7, 150);          // left volume
    change.add(0, 18, 2);           // right Solo
    a.params->flush(a.p, &change.in, nullptr);
    const std::vector<uint8_t> saved = a.save();
    ASSERT_TRUE(b.load(saved));
    EXPECT_EQ(b.save(), saved);
    EXPECT_EQ(b.value(7), 150);
    EXPECT_GE(b.host.rescans, 1);

    const std::string dir = ::testing::TempDir();
    uint8_t record[ParamCount], title[presetfiles::TitleSize];
    std::memcpy(record, defaultParams, ParamCount);
    record[sound::Volume_L] = 123;
    presetfiles::padTitle("Tone 1", title);
    const std::vector<uint8_t> lop = presetfiles::encodeLop("Tone 1", record, title);
    std::ofstream(dir + "/tone.lop", std::ios::binary).write(reinterpret_cast<const char*>(lop.data()), lop.size());
    EXPECT_TRUE(b.presetLoad->from_location(b.p, CLAP_PRESET_DISCOVERY_LOCATION_FILE, (dir + "/tone.lop").c_str(), nullptr));
    EXPECT_EQ(b.save(), lop);
    uint8_t backup[presetfiles::BankSize] = {};
    for (int i = 0; i < 8; ++i) std::memcpy(backup + 12 * i, defaultParams, 12), backup[12 * i + sound::Mic_L] = uint8_t(i);
    for (int i = 0; i < 8; ++i) presetfiles::padTitle("Backed up", backup + 96 + 12 * i);
    std::ofstream(dir + "/pedal.bkp", std::ios::binary).write(reinterpret_cast<const char*>(backup), sizeof backup);
    EXPECT_TRUE(b.presetLoad->from_location(b.p, CLAP_PRESET_DISCOVERY_LOCATION_FILE, (dir + "/pedal.bkp").c_str(), "7"));
    EXPECT_EQ(b.value(5), 6);       // preset 7's left microphone
    EXPECT_EQ(b.host.loadedPresets, 2);

    // Refused, never clamped: a speaker byte naming no speaker, a control
    // byte in the title, bytes that are no local preset, a missing preset.
    const std::vector<uint8_t> before = b.save();
    uint8_t wrongRecord[ParamCount], wrongTitle[presetfiles::TitleSize];
    std::memcpy(wrongRecord, record, ParamCount);
    std::memcpy(wrongTitle, title, sizeof title);
    wrongRecord[sound::Speaker_L] = 250;
    wrongTitle[11] = 7;
    const std::vector<uint8_t> badSpeaker = presetfiles::encodeLop("Tone 1", wrongRecord, title);
    const std::vector<uint8_t> badTitle = presetfiles::encodeLop("Tone 1", record, wrongTitle);
    for (const std::vector<uint8_t>& bad : {badSpeaker, badTitle, std::vector<uint8_t>(lop.begin(), lop.end() - 1),
                                            std::vector<uint8_t>{'x'}, std::vector<uint8_t>(5000, 'a')})
        EXPECT_FALSE(b.load(bad));
    std::ofstream(dir + "/bad.lop", std::ios::binary).write(reinterpret_cast<const char*>(badSpeaker.data()), badSpeaker.size());
    EXPECT_FALSE(b.presetLoad->from_location(b.p, CLAP_PRESET_DISCOVERY_LOCATION_FILE, (dir + "/bad.lop").c_str(), nullptr));
    EXPECT_NE(b.host.presetError.find("speaker"), std::string::npos) << b.host.presetError;
    EXPECT_FALSE(b.presetLoad->from_location(b.p, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "factory:9"));
    EXPECT_FALSE(b.presetLoad->from_location(b.p, CLAP_PRESET_DISCOVERY_LOCATION_FILE, (dir + "/pedal.bkp").c_str(), "0"));
    EXPECT_EQ(b.save(), before);
}

// The host's preset browser: the provider declares the factory bank and the
// local preset folder; the bank's eight presets and a .lop file's name are
// listed with keys that preset-load takes.
TEST_F(ClapHost, PresetDiscoveryListsWhatPresetLoadTakes) {
    auto* factory = static_cast<const clap_preset_discovery_factory_t*>(
        library().entry->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    ASSERT_TRUE(factory && factory->count(factory) == 1);
    struct Found {
        std::vector<std::string> types, locations, names, keys;
    } found;
    clap_preset_discovery_indexer_t indexer{CLAP_VERSION_INIT, "test", "", "", "1", &found, nullptr, nullptr, nullptr, nullptr};
    indexer.declare_filetype = [](const clap_preset_discovery_indexer_t* i, const clap_preset_discovery_filetype_t* t) {
        static_cast<Found*>(i->indexer_data)->types.push_back(t->file_extension);
        return true;
    };
    indexer.declare_location = [](const clap_preset_discovery_indexer_t* i, const clap_preset_discovery_location_t* l) {
        static_cast<Found*>(i->indexer_data)->locations.push_back(l->location ? l->location : "(plugin)");
        return true;
    };
    const clap_preset_discovery_provider_t* provider =
        factory->create(factory, &indexer, factory->get_descriptor(factory, 0)->id);
    ASSERT_TRUE(provider && provider->init(provider));
    EXPECT_EQ(found.types, (std::vector<std::string>{"lop", "bkp"}));
    ASSERT_EQ(found.locations.size(), 2u);
    EXPECT_NE(found.locations[1].find("Kestrova/Orvella/presets"), std::string::npos);

    clap_preset_discovery_metadata_receiver_t receiver{};
    receiver.receiver_data = &found;
    receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver_t* r, const char* name, const char* key) {
        static_cast<Found*>(r->receiver_data)->names.push_back(name);
        static_cast<Found*>(r->receiver_data)->keys.push_back(key ? key : "");
        return true;
    };
    receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver_t*, const clap_universal_plugin_id_t*) {};
    receiver.set_flags = [](const clap_preset_discovery_metadata_receiver_t*, uint32_t) {};
    ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &receiver));
    ASSERT_EQ(found.keys.size(), 8u);
    Instance a;
    ASSERT_TRUE(a.ready());
    for (const std::string& key : found.keys)
        EXPECT_TRUE(a.presetLoad->from_location(a.p, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key.c_str())) << key;
    presetfiles::LocalPreset last;
    ASSERT_EQ(presetfiles::decodeLop(a.save(), last), presetfiles::LopStatus::Ok);
    EXPECT_EQ(last.name, found.names.back());

    uint8_t title[presetfiles::TitleSize];
    presetfiles::padTitle("Lead", title);
    const std::vector<uint8_t> lop = presetfiles::encodeLop("My lead", defaultParams, title);
    const std::string path = ::testing::TempDir() + "/lead.lop";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(lop.data()), std::streamsize(lop.size()));
    ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, path.c_str(), &receiver));
    EXPECT_EQ(found.names.back(), "My lead");
    provider->destroy(provider);
}

}  // namespace
