#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cinemill/base/memory.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/base/strings.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// 1 to 256 colours.
struct Palette {
    std::vector<Rgb> entries;

    int size() const { return static_cast<int>(entries.size()); }
    const Rgb& operator[](int i) const { return entries[static_cast<size_t>(i)]; }
    Rgb& operator[](int i) { return entries[static_cast<size_t>(i)]; }
    friend bool operator==(const Palette&, const Palette&) = default;

    // From n packed red-green-blue triples (n from 1 to 256).
    static Palette FromTriples(const uint8_t* rgb, int n);
};

// Bits of a colour table that holds n entries: 1 for up to 2, ..., 8 above 128.
int ColorTableBits(int n);

enum class BlockKind : uint8_t {
    PlainText = 0x01,
    Image = 0x2C,
    Comment = 0xFE,
    Application = 0xFF,
};

struct Block {
    explicit Block(BlockKind k) : kind(k) {}
    virtual ~Block() = default;
    Block(const Block&) = default;
    Block& operator=(const Block&) = default;
    BlockKind kind;
};

// A comment, application or plain-text extension: its data sub-blocks as in
// the file (length byte 1-255 and that many bytes each), ending with a 0 byte.
struct ExtensionBlock : Block {
    explicit ExtensionBlock(BlockKind k) : Block(k) {}
    std::vector<uint8_t> data{0};
};

// 8-bit pixels, top row first, each row padded to a multiple of 4 bytes.
struct FrameBitmap {
    int width = 0;
    int height = 0;
    int stride = 0;
    // Pages nobody writes cost no memory: a frame declaring a huge size with
    // little data behind it stays small.
    ZeroedBytes pixels;

    static int StrideFor(int width) { return (width + 3) / 4 * 4; }
    size_t ByteSize() const { return pixels.size(); }
    // Bytes a bitmap of that size takes (0 for a negative size).
    static uint64_t BytesFor(int width, int height);
    // Zero-filled bitmap; none when the size is negative, above the limit,
    // or cannot be allocated.
    static std::optional<FrameBitmap> Create(int width, int height);
    // Largest bitmap in bytes that Create attempts (1 GiB unless changed;
    // fuzzing lowers it to stay within its memory budget).
    static void SetByteLimit(uint64_t bytes);

    uint8_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * stride; }
    const uint8_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * stride; }
    uint8_t At(int x, int y) const { return Row(y)[x]; }
};

// Control flag bits (the graphic-control packed byte).
constexpr uint8_t kCtlTransparent = 0x01;
constexpr uint8_t kCtlWaitForInput = 0x02;
// Descriptor flag bits (the image-descriptor packed byte).
constexpr uint8_t kDescLocalTable = 0x80;
constexpr uint8_t kDescInterlaced = 0x40;

// A frame's compressed image data as its file held it: the minimum code size
// and the data sub-blocks (length byte and bytes each) with the zero
// terminator. `fingerprint` is ImageFingerprint of the frame it was read
// with; the data stands for the frame only while the two agree.
struct KeptImageData {
    uint8_t minCodeSize = 0;
    std::vector<uint8_t> subBlocks;
    uint64_t fingerprint = 0;
};

struct Frame : Block {
    Frame() : Block(BlockKind::Image) {}

    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;
    std::string name;                    // at most 255 characters
    std::optional<Palette> localPalette;  // owned; the palette in effect when present
    uint32_t delay = 0;                  // 1/100 s, 16 bits significant
    uint8_t controlFlags = 0;
    uint8_t transparentIndex = 0;
    uint8_t descriptorFlags = 0;
    std::optional<FrameBitmap> bitmap;
    // 24-bit blue-green-red pixels, top row first, rows padded to 4 bytes,
    // present after a true-colour import until palette merging maps it.
    std::vector<uint8_t> trueColor;
    // 8-bit per-pixel transparency beside trueColor (0 = transparent).
    std::vector<uint8_t> transparencyPlane;
    // The file's own compressed data while the pixels, size, palette in
    // effect and interlace flag are those it was read with; shared between
    // copies, so an undo snapshot does not hold it twice.
    std::shared_ptr<const KeptImageData> keptData;
    // Set when the frame came from a file without a graphic control
    // extension: the delay the reader gave it. While the frame still has
    // that delay, control flags 0 and transparent index 0, the writer leaves
    // the extension out, since the frame reads back the same without it.
    std::optional<uint32_t> implicitControlDelay;

    bool Transparent() const { return controlFlags & kCtlTransparent; }
    int Disposal() const { return (controlFlags >> 2) & 7; }
    bool WaitForInput() const { return controlFlags & kCtlWaitForInput; }
    bool Interlaced() const { return descriptorFlags & kDescInterlaced; }
};

// What a frame costs beside its pixels (the frame, its bitmap's allocation,
// its place in the block list), for budgets that count frames by the million.
constexpr uint64_t kFrameOverheadBytes = sizeof(Frame) + 64;

inline Frame* AsFrame(Block* b) {
    return b && b->kind == BlockKind::Image ? static_cast<Frame*>(b) : nullptr;
}
inline const Frame* AsFrame(const Block* b) {
    return b && b->kind == BlockKind::Image ? static_cast<const Frame*>(b) : nullptr;
}
inline ExtensionBlock* AsExtension(Block* b) {
    return b && b->kind != BlockKind::Image ? static_cast<ExtensionBlock*>(b) : nullptr;
}
inline const ExtensionBlock* AsExtension(const Block* b) {
    return b && b->kind != BlockKind::Image ? static_cast<const ExtensionBlock*>(b) : nullptr;
}

struct Hotspot {
    int32_t x = -1, y = -1;
    friend bool operator==(const Hotspot&, const Hotspot&) = default;
};

using ColorUsage = std::array<uint32_t, 256>;

// One animated GIF held in memory in the order of its stream.
struct Animation {
    uint32_t width = 0, height = 0;  // logical screen
    uint32_t playCount = 0;          // 0 forever, 1 once, n times
    // Frames and extensions in stream order.
    std::vector<std::unique_ptr<Block>> blocks;
    std::optional<Palette> globalPalette;
    uint8_t screenFlags = 0;
    uint8_t backgroundIndex = 0;
    uint8_t aspect = 0;
    int32_t cachedSize = -1;  // encoded size in bytes, -1 unknown
    ColorUsage colorUsage{};
    Hotspot hotspot;

    int FrameCount() const;
    // Frame at 0-based position among image blocks; null when out of range.
    Frame* FrameAt(int index);
    const Frame* FrameAt(int index) const;
    // Position in `blocks` of frame `index`, or blocks.size() when beyond the last.
    size_t BlockPosOfFrame(int index) const;
    std::vector<Frame*> Frames();
    std::vector<const Frame*> Frames() const;
};

// ---- lifecycle -------------------------------------------------------------

// Empty document: nothing but a cached size of -1 and an unset hot spot.
std::unique_ptr<Animation> NewAnimation();
// A w x h screen with one w x h frame at (0, 0) without bitmap; the loop count
// and the frame's delay come from the preferences.
std::unique_ptr<Animation> NewAnimation(uint32_t w, uint32_t h, const PreferenceBlock& prefs);
std::unique_ptr<Frame> NewFrame(int32_t w, int32_t h, const PreferenceBlock& prefs);

// A deep copy; null when memory runs out. The progress range is the frame
// count, one step per block; when the reporter says stop, the partial copy
// is returned.
std::unique_ptr<Animation> CopyAnimation(const Animation& src, ProgressReporter& progress);
std::unique_ptr<Animation> CopyAnimation(const Animation& src);
// Same header values, no blocks, no global palette.
std::unique_ptr<Animation> HeaderCopy(const Animation& src);
std::unique_ptr<Block> CopyBlock(const Block& b);

// ---- palettes ----------------------------------------------------------------

// The local palette when there is one, else the global one; may be null.
const Palette* PaletteInEffect(const Animation& a, const Frame& f);
// Stores the palette (or none) and rewrites the screen flags: bit 7, the
// colour resolution and the size code from the entry count; 0 without one.
void SetGlobalPalette(Animation& a, std::optional<Palette> p);
// Stores the local palette (or none) and updates descriptor bits 7 and 0-2;
// the other bits are kept. Returns the previous local palette.
std::optional<Palette> SetLocalPalette(Frame& f, std::optional<Palette> p);
// Entries as blue-green-red-0 quadruples (unused entries 0).
std::array<uint32_t, 256> ColorTableOf(const Palette* p);

// The colour a transparent pixel shows in the editor. `pref` is the
// transparency-display preference; `window_background` the system colour
// used when it asks for that.
Rgb TransparentDisplayColor(uint32_t pref, const Palette* p, int index, Rgb window_background);
// The colour table a frame is drawn with: the palette in effect, with the
// display colour at the transparent index while transparency is on.
std::array<uint32_t, 256> DisplayColorTable(const Animation& a, const Frame& f, uint32_t pref,
                                            Rgb window_background);
// A 1-bit mask (rows padded to 4 bytes, most significant bit first): 1 where
// the pixel equals the transparent index. Empty without transparency or bitmap.
std::vector<uint8_t> TransparencyMask(const Frame& f);

// ---- frame properties ----------------------------------------------------------

uint32_t SetDelay(Frame& f, uint32_t delay);  // returns the old delay
void SetDisposal(Frame& f, int method);       // 0-7
void SetWaitForInput(Frame& f, bool on);
void SetInterlaced(Frame& f, bool on);
// Names longer than 255 characters are cut. False when the name was already set.
bool SetName(Frame& f, std::string_view name);
void SetTransparent(Frame& f, bool on);
void SetTransparentIndex(Frame& f, uint8_t index);
// Replaces the bitmap and sets the frame's size from it.
void SetBitmap(Frame& f, FrameBitmap bmp);

// Swaps bitmaps, transparent indexes, control flags and local palettes.
void ExchangePixels(Frame& a, Frame& b);
// The same, and also position and size.
void ExchangeAll(Frame& a, Frame& b);

// ---- kept image data ------------------------------------------------------------

// A hash of what a frame's compressed data encodes: size, interlace flag,
// palette in effect and every bitmap byte. Any change to one of them changes it.
uint64_t ImageFingerprint(const Animation& a, const Frame& f);
// Keeps the file's data for the frame as it is now.
void KeepImageData(const Animation& a, Frame& f, uint8_t min_code_size, std::vector<uint8_t> sub_blocks);
// The kept data when it still stands for the frame; null otherwise.
const KeptImageData* ValidKeptData(const Animation& a, const Frame& f);
// Forgets the kept data (every change to pixels, size, palette or interlacing does).
void DropKeptData(Frame& f);
// Forgets the kept data of every frame that no longer matches it.
void DropStaleKeptData(Animation& a);

// ---- comments --------------------------------------------------------------------

std::string CommentText(const ExtensionBlock& b);
// One sub-block with the text (cut to 255 characters) and the terminator.
void SetCommentText(ExtensionBlock& b, std::string_view text);
std::unique_ptr<ExtensionBlock> NewComment(std::string_view text);

// ---- usage and extents -------------------------------------------------------------

// Pixels per index of one frame (all pixels, transparent ones too).
ColorUsage CountFramePixels(const Frame& f);

// Pixels per global-palette index over frames without a local palette
// (transparent pixels included); nothing when there is no global palette.
// Stops between frames when `stop` answers true (then answers false).
bool RecountColorUsage(Animation& a, bool clear, const std::atomic<bool>* stop = nullptr);
// The reduction variant: frames without a local palette whether or not a
// global palette exists; transparent pixels are skipped.
ColorUsage CountOpaqueUsage(const Animation& a);

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};
// Bounding box of all frames; minimum left/top start at 1000, maximum
// right/bottom at 0.
Rect FrameExtents(const Animation& a);
// Largest right and bottom edges (x = right, y = bottom).
std::pair<int32_t, int32_t> MaxFrameEdges(const Animation& a);

// ---- document operations --------------------------------------------------------------

// Takes frame i out of the list; the caller keeps it for undo or drops it.
std::unique_ptr<Frame> RemoveFrame(Animation& a, int index);
// Moves frame `from` to stand before the frame now at `to` (0..count);
// extensions stay. Returns the new index.
int MoveFrame(Animation& a, int from, int to);
// Inserts a frame so that it gets index `index` (at the end when beyond).
void InsertFrame(Animation& a, int index, std::unique_ptr<Frame> f);
bool FrameFitsScreen(const Frame& f, uint32_t screen_w, uint32_t screen_h);
// Keeps exactly the part of the frame on the screen; false when nothing of
// it is on the screen or memory runs out (the frame is then unchanged).
bool ClipFrameToScreen(Frame& f, uint32_t screen_w, uint32_t screen_h);
// Reverses all blocks (extensions too) when there are at least 2 frames.
void ReverseBlocks(Animation& a);
// Names every unnamed frame: the file name for a single frame, else
// "NAME - Frame N" with the 1-based position.
void NameFrames(Animation& a, std::string_view file_name);

}  // namespace cinemill
