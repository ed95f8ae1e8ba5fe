#include "bench/soak/Truth.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace soak {

PedalTruth readPedal(const testpedal::VirtualPedal& pedal) {
    PedalTruth t;
    t.present = pedal.running() && access(pedal.registration().c_str(), F_OK) == 0;
    t.stateRead = pedal.state(t.state);
    t.commands = pedal.commands();
    return t;
}

std::map<std::string, FileTruth> readFolders(const std::vector<std::string>& folders) {
    std::map<std::string, FileTruth> files;
    for (std::string folder : folders) {
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        DIR* dir = opendir(folder.c_str());
        if (!dir) continue;
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            std::string path = folder + "/" + name;
            struct stat st, lst;
            if (lstat(path.c_str(), &lst) != 0) continue;
            FileTruth f;
            f.link = S_ISLNK(lst.st_mode);
            if (f.link) {
                char target[4096];
                ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
                f.target.assign(target, n > 0 ? static_cast<size_t>(n) : 0);
            }
            if (stat(path.c_str(), &st) == 0) {
                if (S_ISDIR(st.st_mode)) continue;
                f.mode = st.st_mode & 07777;
                std::ifstream in(path, std::ios::binary);
                std::ostringstream bytes;
                bytes << in.rdbuf();
                f.bytes = bytes.str();
            }
            files[path] = f;
        }
        closedir(dir);
    }
    return files;
}

}  // namespace soak
