// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/orvella-maint-XXXXXX";
        const char* made = mkdtemp(pattern);
        root = made ? made : "/tmp";
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
