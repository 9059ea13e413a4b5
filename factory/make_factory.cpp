// Writes the factory instrument files from the table: one NAME.zpk per
// instrument into OUTPUT_FOLDER, whose other *.zpk files (instruments since
// taken out of the table) are removed. A mistake in the table ends it with
// status 1 and the line it is on.
//
// Usage: make_factory TABLE OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "factory/factory_table.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_factory TABLE OUTPUT_FOLDER\n");
        return 2;
    }
    std::string error;
    const auto table = read_factory_table(argv[1], &error);
    if (!table) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const fs::path folder = argv[2];
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::set<fs::path> written;
    for (const factory_instrument& f : *table) {
        uint8_t bytes[INSTRUMENT_FILE_SIZE];
        encode_record(f.record, bytes);
        const fs::path path = folder / (f.name + ".zpk");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        if (!out.flush()) {
            std::fprintf(stderr, "make_factory: cannot write %s\n", path.string().c_str());
            return 1;
        }
        written.insert(path);
    }
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().extension() == ".zpk" && !written.count(entry.path()))
            fs::remove(entry.path(), ec);
    return 0;
}
