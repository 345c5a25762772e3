// Decodes a list of image files with the program's own image loader, in a plain loop, and says how long it took.
//
// The reference for the start-up figure: the program's start-up does this same work and little else.
// Usage: rtp_bench_decode LISTFILE   (one path per line; prints "decode_ms <ms> files <n> failed <n>")
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "stimuli/stimuli.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: rtp_bench_decode LISTFILE\n");
        return 2;
    }
    std::vector<std::string> paths;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) paths.push_back(line);
    }
    if (paths.empty()) {
        std::fprintf(stderr, "rtp_bench_decode: no file names in %s\n", argv[1]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const uintptr_t decoder = plat::StartImageDecoder();
    // The bitmaps stay alive until the end, as the program keeps every image of a run.
    std::vector<plat::BitmapHandle> bitmaps;
    bitmaps.reserve(paths.size());
    int failed = 0;
    for (const std::string& path : paths) {
        plat::BitmapHandle bitmap = LoadImageFile(path.c_str());
        if (bitmap == nullptr) ++failed;
        bitmaps.push_back(bitmap);
    }
    plat::StopImageDecoder(decoder);
    const auto end = std::chrono::steady_clock::now();
    for (plat::BitmapHandle bitmap : bitmaps) plat::DeleteBitmap(bitmap);
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    std::printf("decode_ms %.1f files %zu failed %d\n", ms, paths.size(), failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
