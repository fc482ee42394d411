#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cinemill {

class UiHost;

// Where the preferences live between runs ("Pref" bytes, "NPref", "Sig").
class PreferenceStore {
public:
    virtual ~PreferenceStore() = default;
    virtual std::optional<std::vector<uint8_t>> ReadPref() = 0;
    virtual std::optional<uint32_t> ReadNPref() = 0;
    virtual std::optional<std::string> ReadSignature() = 0;
    // Answer false when the store cannot be written (memory keeps the change).
    virtual bool WritePref(std::span<const uint8_t> bytes, uint32_t npref) = 0;
    virtual bool WriteSignature(const std::string& text) = 0;
};

// An in-memory store, for tests and for the command line.
class MemoryPreferenceStore : public PreferenceStore {
public:
    std::optional<std::vector<uint8_t>> pref;
    std::optional<uint32_t> npref;
    std::optional<std::string> signature;

    std::optional<std::vector<uint8_t>> ReadPref() override { return pref; }
    std::optional<uint32_t> ReadNPref() override { return npref; }
    std::optional<std::string> ReadSignature() override { return signature; }
    bool WritePref(std::span<const uint8_t> bytes, uint32_t n) override {
        pref.emplace(bytes.begin(), bytes.end());
        npref = n;
        return true;
    }
    bool WriteSignature(const std::string& text) override {
        signature = text;
        return true;
    }
};

// The thirteen 32-bit preference slots and the signature text.
class PreferenceBlock {
public:
    static constexpr int kSlotCount = 13;
    enum Slot : int {
        kDefaultDelay = 0,
        kDefaultLoop = 1,
        kFrameSizeConflict = 2,
        kOptimizer = 5,
        kProgramFlags = 6,
        kTransparencyDisplay = 7,
        kColorReduction = 8,
        kDownloadSpeed = 9,
        kPaletteMerging = 10,
        kPreviewBackground = 11,
        kUndoLevels = 12,
    };
    // Program flags (slot 6); every writer changes only its own bits.
    static constexpr uint32_t kFlagShowColorsInUse = 0x0001;
    static constexpr uint32_t kFlagClipWithoutAsking = 0x0004;
    static constexpr uint32_t kFlagNoSignature = 0x0008;
    static constexpr uint32_t kFlagVerticalStrips = 0x0010;
    static constexpr uint32_t kFlagHorizontalStrips = 0x0020;
    static constexpr uint32_t kFlagPickerInfo = 0x0040;
    static constexpr uint32_t kFlagKeepAspect = 0x0080;
    static constexpr uint32_t kFlagBicubic = 0x0100;
    static constexpr uint32_t kFlagPsdLayers = 0x0200;
    static constexpr uint32_t kFlagPsdBlendComposite = 0x0400;
    static constexpr uint32_t kFlagPsdKeepBackground = 0x0800;
    static constexpr uint32_t kFlagContinuousLoop = 0x1000;
    static constexpr uint32_t kFlagFlatToolbars = 0x2000;
    static constexpr uint32_t kFlagShowFrameCropped = 0x4000;
    static constexpr uint32_t kFlagShowAsCropped = 0x8000;

    // The default of every slot.
    static uint32_t DefaultOf(int slot);
    // "NPref": the number of slots written with "Pref".
    static constexpr uint32_t kWrittenSlots = kSlotCount;
    // "Pref" is read up to this many bytes; what it holds fills the slots.
    static constexpr size_t kMaxPrefBytes = 92;
    // "Sig" is written with at most this many characters.
    static constexpr size_t kMaxSignatureWrite = 300;

    PreferenceBlock();  // defaults, no store

    // Defaults, then whatever the store holds; later changes are written
    // through to it (null: memory only).
    void Load(PreferenceStore* store);
    PreferenceStore* Store() const { return store_; }

    // The slot's value; slot 2 values below 4 are old encodings and translated.
    uint32_t Get(int slot) const;
    // Stores in memory and writes the whole block through when a store is attached.
    void Set(int slot, uint32_t value);
    void SetBits(int slot, uint32_t bits, bool on);
    bool Flag(uint32_t bits) const { return (slots_[kProgramFlags] & bits) != 0; }

    // Slot 2 (frame-size conflict) bits.
    static constexpr uint32_t kSizeAsk = 0x04;
    static constexpr uint32_t kSizeClip = 0x10;
    static constexpr uint32_t kSizeGrow = 0x20;
    // Slot 8 (colour reduction): bits 0-15 the last colour count, bit 16 dither.
    static constexpr uint32_t kReduceDither = 0x10000;
    static int ReductionColors(uint32_t v) { return static_cast<int>(v & 0xFFFF); }
    static bool ReductionDither(uint32_t v) { return (v & kReduceDither) != 0; }
    static uint32_t EncodeReduction(int colors, bool dither) {
        return (dither ? kReduceDither : 0) | (static_cast<uint32_t>(colors) & 0xFFFF);
    }
    // Slot 10 (palette merging): method bits 0-4, 0x100 dither, 0x200 ask,
    // bits 16-19 and 20-23 the colour limits as bit counts. A stored bit
    // count of 2 or less (or above 8) stands for 256 colours.
    static constexpr uint32_t kMergeMethodMask = 0x1F;
    static constexpr uint32_t kMergeDither = 0x100;
    static constexpr uint32_t kMergeAsk = 0x200;
    static int MergeColorBits(uint32_t v) { return LimitBits((v >> 16) & 0xF); }
    static int MergeTrueColorBits(uint32_t v) { return LimitBits((v >> 20) & 0xF); }
    static int MergeMaxColors(uint32_t v) { return 1 << MergeColorBits(v); }
    static int MergeTrueColorMax(uint32_t v) { return 1 << MergeTrueColorBits(v); }

    // The "ask or use" rule of slots 2 and 10: with the ask bit set the
    // question is put through the host and a non-zero answer is stored;
    // otherwise the slot's value. 0 means the user cancelled.
    uint32_t AskOrUse(int slot, UiHost& host);

    uint32_t DefaultDelay() const { return Get(kDefaultDelay); }
    uint32_t DefaultLoop() const { return Get(kDefaultLoop); }

    // The signature comment: empty when switched off (unless ignore_off), else
    // the stored text when there is one, else the built-in text; at most
    // max_length characters.
    std::string SignatureText(bool ignore_off = false, size_t max_length = 255) const;
    // Stores the text (cut to kMaxSignatureWrite characters) and writes "Sig".
    void SetSignature(std::string text);

    // "Pref": the 13 slots as little-endian 32-bit words, slot 0 first, as
    // stored (slot 2 untranslated).
    std::array<uint8_t, kSlotCount * 4> Serialize() const;

    // The process-wide block the editor and the command line use.
    static PreferenceBlock& Current();

private:
    static int LimitBits(uint32_t b) { return b <= 2 || b > 8 ? 8 : static_cast<int>(b); }

    std::array<uint32_t, kSlotCount> slots_{};
    std::optional<std::string> signature_;
    PreferenceStore* store_ = nullptr;
};

}  // namespace cinemill
