#pragma once

#include <cstdint>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// Octree colour quantizer of depth 6: leaves tell colours apart by the top 6
// bits of each channel. The tree is folded back, deepest level first and the
// least-travelled node of that level first, whenever it holds more than the
// maximum number of leaves.
class OctreeQuantizer {
public:
    static constexpr int kDepth = 6;

    explicit OctreeQuantizer(int max_colors);

    void AddColor(uint8_t r, uint8_t g, uint8_t b, uint32_t count);
    // The pixels of a 24-bit blue-green-red plane (rows padded to 4 bytes),
    // leaving out pixels whose mask byte (8-bit rows padded to 4 bytes) is 0.
    void AddPixels(const uint8_t* bgr, const uint8_t* mask, int width, int height);
    // Each entry weighted by its usage count (entries counted 0 are left out).
    void AddPalette(const Palette& p, const ColorUsage& counts);

    // Folds the tree to at most n leaves and numbers them depth first; with
    // a transparency slot a black entry follows the leaves. Never empty.
    Palette BuildPalette(int n, bool transparency_slot);
    // Index of the leaf a colour falls into (valid after BuildPalette); 0
    // when its path leaves the tree.
    int Lookup(uint8_t r, uint8_t g, uint8_t b) const;

    int LeafCount() const { return leaf_count_; }

private:
    struct Node {
        bool leaf = false;
        uint64_t pixels = 0;
        uint64_t sum[3] = {0, 0, 0};
        uint64_t passed = 0;
        int index = 0;
        int child[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
        int next = -1;  // next node in its level's reducible list
    };
    int NewNode(int level);
    void Reduce();
    void Number(int node, Palette& out);

    int max_colors_;
    std::vector<Node> nodes_;  // node 0 is the root
    std::vector<int> free_;    // folded-away nodes, reused
    int reducible_[kDepth];    // list heads for levels 0..5
    int leaf_count_ = 0;
};

}  // namespace cinemill
