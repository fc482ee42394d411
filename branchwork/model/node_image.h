#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace branchwork {

// A 16x16 node image with the full path of the GIF it came from.
struct NodeImage {
    std::string path;
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes, straight alpha
};

// Loads a GIF through cinemill's reader as a picture of the logical screen
// size (the first frame drawn as a browser would). Nothing when the file
// cannot be read as a GIF.
std::optional<NodeImage> LoadNodeImage(const std::string& path);

}  // namespace branchwork
