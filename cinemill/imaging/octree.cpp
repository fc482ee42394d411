#include "cinemill/imaging/octree.h"

#include <algorithm>
#include <cstdint>

namespace cinemill {
namespace {
int ChildIndex(uint8_t r, uint8_t g, uint8_t b, int level) {
    const int shift = 7 - level;
    return (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
}
}  // namespace

OctreeQuantizer::OctreeQuantizer(int max_colors) : max_colors_(std::clamp(max_colors, 1, 256)) {
    std::fill(std::begin(reducible_), std::end(reducible_), -1);
    NewNode(0, -1, 0);
}

int OctreeQuantizer::NewNode(int level, int parent, uint32_t cells) {
    int id;
    if (!free_.empty()) {
        id = free_.back();
        free_.pop_back();
        nodes_[static_cast<size_t>(id)] = Node{};
    } else {
        id = static_cast<int>(nodes_.size());
        nodes_.emplace_back();
    }
    Node& n = nodes_[static_cast<size_t>(id)];
    n.parent = parent;
    n.cells = cells;
    if (level == kDepth) {
        n.leaf = true;
        ++leaf_count_;
    } else {
        n.next = reducible_[level];
        reducible_[level] = id;
    }
    return id;
}

void OctreeQuantizer::AddColor(uint8_t r, uint8_t g, uint8_t b, uint32_t count) {
    lookup_.clear();
    bool created = false;
    int node = 0;
    for (int level = 0; !nodes_[static_cast<size_t>(node)].leaf; ++level) {
        nodes_[static_cast<size_t>(node)].passed += count;
        const int c = ChildIndex(r, g, b, level);
        int child = nodes_[static_cast<size_t>(node)].child[c];
        if (child < 0) {
            child = NewNode(level + 1, node, nodes_[static_cast<size_t>(node)].cells << 3 | uint32_t(c));
            nodes_[static_cast<size_t>(node)].child[c] = child;
            created = true;
        }
        node = child;
    }
    Node& leaf = nodes_[static_cast<size_t>(node)];
    leaf.pixels += count;
    leaf.sum[0] += uint64_t{count} * r;
    leaf.sum[1] += uint64_t{count} * g;
    leaf.sum[2] += uint64_t{count} * b;
    if (created)
        while (leaf_count_ > max_colors_) Reduce();
}

// Adds the pending pixels of the leaves to the `passed` counts of their
// ancestors, as if each had walked down from the root.
void OctreeQuantizer::FlushPending() {
    for (int id : dirty_) {
        Node& leaf = nodes_[static_cast<size_t>(id)];
        for (int a = leaf.parent; a >= 0; a = nodes_[static_cast<size_t>(a)].parent)
            nodes_[static_cast<size_t>(a)].passed += leaf.pending;
        leaf.pending = 0;
    }
    dirty_.clear();
}

void OctreeQuantizer::Reduce() {
    FlushPending();
    lookup_.clear();
    int level = kDepth - 1;
    while (level >= 0 && reducible_[level] < 0) --level;
    if (level < 0) return;
    // The node with the fewest pixels passed through, first in list order on ties.
    int best = -1, best_prev = -1;
    for (int prev = -1, n = reducible_[level]; n >= 0; prev = n, n = nodes_[static_cast<size_t>(n)].next)
        if (best < 0 || nodes_[static_cast<size_t>(n)].passed < nodes_[static_cast<size_t>(best)].passed) {
            best = n;
            best_prev = prev;
        }
    Node& node = nodes_[static_cast<size_t>(best)];
    if (best_prev < 0) reducible_[level] = node.next;
    else nodes_[static_cast<size_t>(best_prev)].next = node.next;
    node.next = -1;
    int children = 0;
    for (int& c : node.child) {
        if (c < 0) continue;
        const Node& ch = nodes_[static_cast<size_t>(c)];
        node.pixels += ch.pixels;
        for (int k = 0; k < 3; ++k) node.sum[k] += ch.sum[k];
        free_.push_back(c);
        c = -1;
        ++children;
    }
    node.leaf = true;
    leaf_count_ -= children - 1;
    // Every cell under the folded node now ends at it.
    if (!leaf_of_cell_.empty()) {
        const int shift = 3 * (kDepth - level);
        const auto first = leaf_of_cell_.begin() + (static_cast<std::ptrdiff_t>(node.cells) << shift);
        std::fill(first, first + (std::ptrdiff_t{1} << shift), static_cast<int16_t>(best));
    }
}

int OctreeQuantizer::LeafReached(uint8_t r, uint8_t g, uint8_t b) const {
    int node = 0;
    for (int level = 0; !nodes_[static_cast<size_t>(node)].leaf; ++level) {
        const int c = nodes_[static_cast<size_t>(node)].child[ChildIndex(r, g, b, level)];
        if (c < 0) return -1;
        node = c;
    }
    return node;
}

void OctreeQuantizer::AddPixels(const uint8_t* bgr, const uint8_t* mask, int width, int height) {
    if (!bgr || width <= 0 || height <= 0) return;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    const size_t mstride = static_cast<size_t>(width + 3) / 4 * 4;
    table_pixels_ += uint64_t(width) * uint64_t(height);
    if (table_pixels_ < kTablePixels && leaf_of_cell_.empty()) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* s = bgr + stride * static_cast<size_t>(y);
            const uint8_t* m = mask ? mask + mstride * static_cast<size_t>(y) : nullptr;
            for (int x = 0; x < width; ++x, s += 3)
                if (!m || m[x]) AddColor(s[2], s[1], s[0], 1);
        }
        return;
    }
    // A pixel whose cell is known to end at an existing leaf only adds to
    // that leaf; its ancestors' counts are brought up to date before the
    // next fold (the only step that reads them). The others take the full
    // walk, which may grow and fold the tree.
    lookup_.clear();
    if (leaf_of_cell_.empty()) leaf_of_cell_.assign(kCells, -1);
    // Neighbouring pixels often share a leaf: their counts are gathered in
    // `run` and added to it when the leaf changes (always before a walk,
    // which may fold the tree and so read the counts).
    int run_leaf = -1;
    uint64_t run_n = 0, run_r = 0, run_g = 0, run_b = 0;
    auto flush_run = [&] {
        if (run_leaf < 0) return;
        Node& leaf = nodes_[static_cast<size_t>(run_leaf)];
        leaf.pixels += run_n;
        leaf.sum[0] += run_r;
        leaf.sum[1] += run_g;
        leaf.sum[2] += run_b;
        if (leaf.pending == 0) dirty_.push_back(run_leaf);
        leaf.pending += run_n;
        run_leaf = -1;
        run_n = run_r = run_g = run_b = 0;
    };
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = bgr + stride * static_cast<size_t>(y);
        const uint8_t* m = mask ? mask + mstride * static_cast<size_t>(y) : nullptr;
        for (int x = 0; x < width; ++x, s += 3) {
            if (m && !m[x]) continue;
            const uint8_t r = s[2], g = s[1], b = s[0];
            const uint32_t cell = CellOf(r, g, b);
            const int id = leaf_of_cell_[cell];
            if (id < 0) {
                flush_run();
                AddColor(r, g, b, 1);
                const int reached = LeafReached(r, g, b);
                if (reached <= INT16_MAX) leaf_of_cell_[cell] = static_cast<int16_t>(reached);
                continue;
            }
            if (id != run_leaf) {
                flush_run();
                run_leaf = id;
            }
            ++run_n;
            run_r += r;
            run_g += g;
            run_b += b;
        }
    }
    flush_run();
}

void OctreeQuantizer::AddPalette(const Palette& p, const ColorUsage& counts) {
    for (int i = 0; i < p.size() && i < 256; ++i)
        if (counts[static_cast<size_t>(i)]) AddColor(p[i].r, p[i].g, p[i].b, counts[static_cast<size_t>(i)]);
}

void OctreeQuantizer::Number(int node, Palette& out) {
    Node& n = nodes_[static_cast<size_t>(node)];
    if (n.leaf) {
        n.index = out.size();
        const uint64_t c = n.pixels;
        out.entries.push_back(c ? Rgb{static_cast<uint8_t>(n.sum[0] / c), static_cast<uint8_t>(n.sum[1] / c),
                                      static_cast<uint8_t>(n.sum[2] / c)}
                                : Rgb{});
        return;
    }
    for (int c : n.child)
        if (c >= 0) Number(c, out);
}

void OctreeQuantizer::FillLookup(int node, int level, uint32_t first) {
    const Node& n = nodes_[static_cast<size_t>(node)];
    const size_t span = size_t{1} << (3 * (kDepth - level));
    if (n.leaf) {
        std::fill_n(lookup_.begin() + first, span, static_cast<uint8_t>(n.index));
        return;
    }
    for (int c = 0; c < 8; ++c) {
        const uint32_t sub = first + static_cast<uint32_t>(c) * static_cast<uint32_t>(span / 8);
        if (n.child[c] >= 0) FillLookup(n.child[c], level + 1, sub);
        else std::fill_n(lookup_.begin() + sub, span / 8, uint8_t{0});  // the path leaves the tree
    }
}

Palette OctreeQuantizer::BuildPalette(int n, bool transparency_slot) {
    n = std::clamp(n, 1, 256);
    while (leaf_count_ > n) Reduce();
    Palette p;
    Number(0, p);
    if (p.entries.empty()) p.entries.push_back(Rgb{});
    if (transparency_slot && p.size() < 256) p.entries.push_back(Rgb{});
    // Large images are mapped through a table of all cells.
    lookup_.clear();
    if (table_pixels_ >= kTablePixels) {
        lookup_.resize(kCells);
        FillLookup(0, 0, 0);
    }
    return p;
}

int OctreeQuantizer::WalkLookup(uint8_t r, uint8_t g, uint8_t b) const {
    int node = 0;
    for (int level = 0; !nodes_[static_cast<size_t>(node)].leaf; ++level) {
        if (level >= kDepth) return 0;
        const int c = nodes_[static_cast<size_t>(node)].child[ChildIndex(r, g, b, level)];
        if (c < 0) return 0;
        node = c;
    }
    return nodes_[static_cast<size_t>(node)].index;
}

}  // namespace cinemill
