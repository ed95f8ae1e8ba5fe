// A scoped setting for GUI tests: private HOMEDRIVE and USERPROFILE folders
// (with a Desktop), an empty virtual-pedal folder with real pedals left out
// of the device list (ORVELLA_VIRTUAL_ONLY), and a working directory
// holding "bin" and "img" (links to the source tree's data, or a bin folder
// the test supplies). Everything is restored and removed at the end.
#pragma once

#include <memory>
#include <string>
#include <vector>

class Orvella;

namespace gui {

// Connects to the X display, trying again for a few seconds when the server
// refuses (as a busy shared Xvfb now and then does) instead of letting the
// toolkit end the process at its first failure. Does nothing once connected.
void openDisplay();

class TestEnvironment {
public:
    // binFolder: the "bin" to offer the program; "" = the source tree's data/bin.
    explicit TestEnvironment(const std::string& binFolder = "");
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    std::string root;       // temporary folder holding all of the below
    std::string home;       // HOMEDRIVE and USERPROFILE
    std::string desktop;    // home + "/Desktop"
    std::string work;       // working directory with bin and img
    std::string pedals;     // ORVELLA_PEDAL_DIR, empty at start

    // Builds the real main window as main() does (its constructor runs the
    // start-up connect). A quit requested meanwhile (core-file check, or a
    // way out of the window) is counted, not executed.
    std::unique_ptr<Orvella> openWindow();
    int quitRequests() const;

    static std::string sourceDir();                  // the repository
    static std::string readFile(const std::string& path);
    static bool writeFile(const std::string& path, const std::string& bytes);
    // Names of the plain files in a folder, sorted.
    static std::vector<std::string> listFolder(const std::string& folder);

private:
    std::string savedCwd;
    struct Saved {
        std::string name, value;
        bool set;
    };
    std::vector<Saved> savedEnv;
    void setEnv(const char* name, const std::string& value);
};

}  // namespace gui
