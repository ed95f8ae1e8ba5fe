// Shared by the fuzz targets: a scratch folder per process, whole-file
// writes and reads, and a check that reports a broken property and aborts,
// which libFuzzer records as a crash with its reproducer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace fuzz {

// A private folder, removed when the fuzzer exits. In memory when the
// system has /dev/shm: the atomic writes under test sync every file to disk.
inline const std::string& scratch() {
    static std::string folder = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/orvella-fuzz-XXXXXX" : "/tmp/orvella-fuzz-XXXXXX";
        std::string made = mkdtemp(&pattern[0]) ? pattern : "";
        if (made.empty()) std::abort();
        static std::string removal = "rm -rf '" + made + "'";
        std::atexit([] { if (std::system(removal.c_str()) != 0) {} });
        return made;
    }();
    return folder;
}

inline void writeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return bytes;
}

// Names in a folder, without "." and "..".
inline std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

[[noreturn]] inline void failed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : fuzz::failed(#condition, __FILE__, __LINE__))
