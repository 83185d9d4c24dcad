// Replays every file of the fuzz corpus through the front end; a crash or a sanitizer report
// fails the test, as it would have failed the fuzzer.
#include "drive.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s corpus-dir-or-file...\n", argv[0]);
        return 2;
    }
    int count = 0;
    for (int i = 1; i < argc; i++) {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i])) {
            for (auto& e : std::filesystem::directory_iterator(argv[i]))
                if (e.is_regular_file()) files.push_back(e.path());
        } else {
            files.emplace_back(argv[i]);
        }
        for (auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            frontend_drive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            count++;
        }
    }
    printf("%d inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
