// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#ifdef _WIN32
#include <process.h>
#endif

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        // No mkdtemp here: a folder named after the process and a count.
        static int made = 0;
        std::error_code failed;
        auto folder = std::filesystem::temp_directory_path(failed) /
                      ("orvella-maint-" + std::to_string(_getpid()) + "-" + std::to_string(++made));
        root = std::filesystem::create_directories(folder, failed) ? folder.generic_string() : "/tmp";
#else
        char pattern[] = "/tmp/orvella-maint-XXXXXX";
        const char* made = mkdtemp(pattern);
        root = made ? made : "/tmp";
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        if (root != "/tmp") std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return root; }

    // Writes bytes to a file in the folder and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string file = root + "/" + name;
        FILE* f = fopen(file.c_str(), "wb");
        if (f) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        return file;
    }

private:
    std::string root;
};
