#pragma once

#include <array>
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
    int Lookup(uint8_t r, uint8_t g, uint8_t b) const {
        return lookup_.empty() ? WalkLookup(r, g, b) : lookup_[CellOf(r, g, b)];
    }

    int LeafCount() const { return leaf_count_; }

    // The 6-bit cell of a colour: the child numbers of its path from the
    // root, three bits a level, the root's child in the top bits. The cells
    // under a node of level L form one run of 8^(6 - L) numbers.
    static uint32_t CellOf(uint8_t r, uint8_t g, uint8_t b) {
        return kSpread[r] << 2 | kSpread[g] << 1 | kSpread[b];
    }

private:
    static constexpr int kCells = 1 << (3 * kDepth);
    // Bit 7 - l of a channel value moved to bit 3 * (5 - l), for l = 0..5.
    static constexpr std::array<uint32_t, 256> kSpread = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t v = 0; v < 256; ++v)
            for (int l = 0; l < kDepth; ++l) t[v] |= ((v >> (7 - l)) & 1u) << (3 * (kDepth - 1 - l));
        return t;
    }();
    // Images at least this large use the per-cell tables (smaller ones are
    // not worth their set-up).
    static constexpr uint64_t kTablePixels = 1 << 16;

    struct Node {
        bool leaf = false;
        uint64_t pixels = 0;
        uint64_t sum[3] = {0, 0, 0};
        uint64_t passed = 0;
        // Pixels that reached this leaf through the cell table and have not
        // yet been added to the `passed` counts of its ancestors.
        uint64_t pending = 0;
        int index = 0;
        int child[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
        int next = -1;  // next node in its level's reducible list
        int parent = -1;
        uint32_t cells = 0;  // its path's child numbers, three bits a level
    };
    int NewNode(int level, int parent, uint32_t cells);
    void Reduce();
    void FlushPending();
    void Number(int node, Palette& out);
    void FillLookup(int node, int level, uint32_t first);
    int WalkLookup(uint8_t r, uint8_t g, uint8_t b) const;
    int LeafReached(uint8_t r, uint8_t g, uint8_t b) const;

    int max_colors_;
    std::vector<Node> nodes_;  // node 0 is the root
    std::vector<int> free_;    // folded-away nodes, reused
    int reducible_[kDepth];    // list heads for levels 0..5
    int leaf_count_ = 0;
    uint64_t table_pixels_ = 0;  // pixels added through AddPixels
    // Cell -> leaf its path reaches, -1 when not known yet (AddPixels). The
    // tree never holds more than a few thousand nodes.
    std::vector<int16_t> leaf_of_cell_;
    std::vector<int> dirty_;  // leaves with pending pixels
    // Cell -> palette index, built by BuildPalette for large images.
    std::vector<uint8_t> lookup_;
};

}  // namespace cinemill
