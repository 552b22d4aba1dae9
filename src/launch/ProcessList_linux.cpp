#include "ProcessList.h"

#include <cctype>
#include <dirent.h>
#include <fstream>

std::vector<std::string> runningProcessNames()
{
    std::vector<std::string> names;
    DIR *proc = opendir("/proc");
    if (!proc)
        return names;
    while (const dirent *entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        // "comm" is the executable's name as the kernel keeps it (at most 15 bytes).
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name))
            names.push_back(name);
    }
    closedir(proc);
    return names;
}
