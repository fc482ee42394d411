#include "cinemill/base/preferences.h"

#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

constexpr std::array<uint32_t, PreferenceBlock::kSlotCount> kDefaults = {
    10, 0, 0x24, 0, 0, 0x46A, 0, 0, 7, 1, 0x880201, 0, 100};

}  // namespace

PreferenceBlock::PreferenceBlock() : slots_(kDefaults) {}

uint32_t PreferenceBlock::DefaultOf(int slot) {
    return slot >= 0 && slot < kSlotCount ? kDefaults[static_cast<size_t>(slot)] : 0;
}

void PreferenceBlock::Load(PreferenceStore* store) {
    slots_ = kDefaults;
    signature_.reset();
    store_ = store;
    if (!store) return;
    if (auto bytes = store->ReadPref()) {
        const size_t n = std::min(bytes->size(), kMaxPrefBytes);
        for (size_t i = 0; i / 4 < static_cast<size_t>(kSlotCount) && i + 4 <= n; i += 4) {
            const uint8_t* p = bytes->data() + i;
            slots_[i / 4] = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
        }
    }
    const auto npref = store->ReadNPref();
    if (!npref || *npref < static_cast<uint32_t>(kSlotCount)) slots_[kUndoLevels] = kDefaults[kUndoLevels];
    signature_ = store->ReadSignature();
}

uint32_t PreferenceBlock::Get(int slot) const {
    if (slot < 0 || slot >= kSlotCount) return 0;
    const uint32_t v = slots_[slot];
    if (slot == kFrameSizeConflict && v < 4) {
        if (v == 1) return 0x24;
        if (v == 2) return 0x10;
        return 0x20;
    }
    return v;
}

void PreferenceBlock::Set(int slot, uint32_t value) {
    if (slot < 0 || slot >= kSlotCount) return;
    slots_[slot] = value;
    if (store_) {
        const auto bytes = Serialize();
        store_->WritePref(bytes, kWrittenSlots);
    }
}

uint32_t PreferenceBlock::AskOrUse(int slot, UiHost& host) {
    const uint32_t v = Get(slot);
    uint32_t answer = v;
    if (slot == kFrameSizeConflict && (v & kSizeAsk)) answer = host.AskFrameSizeConflict(v);
    else if (slot == kPaletteMerging && (v & kMergeAsk)) answer = host.AskPaletteMerge(v);
    else return v;
    if (answer != 0) Set(slot, answer);
    return answer;
}

void PreferenceBlock::SetBits(int slot, uint32_t bits, bool on) {
    if (slot < 0 || slot >= kSlotCount) return;
    Set(slot, on ? (slots_[slot] | bits) : (slots_[slot] & ~bits));
}

std::string PreferenceBlock::SignatureText(bool ignore_off, size_t max_length) const {
    if (!ignore_off && Flag(kFlagNoSignature)) return {};
    std::string text = signature_ ? *signature_ : std::string(LoadString(StringId::DefaultSignature));
    if (text.size() > max_length) text.resize(max_length);
    return text;
}

void PreferenceBlock::SetSignature(std::string text) {
    if (text.size() > kMaxSignatureWrite) text.resize(kMaxSignatureWrite);
    if (store_) store_->WriteSignature(text);
    signature_ = std::move(text);
}

std::array<uint8_t, PreferenceBlock::kSlotCount * 4> PreferenceBlock::Serialize() const {
    std::array<uint8_t, kSlotCount * 4> out{};
    for (int i = 0; i < kSlotCount; ++i)
        for (int b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<uint8_t>(slots_[i] >> (8 * b));
    return out;
}

PreferenceBlock& PreferenceBlock::Current() {
    static PreferenceBlock block;
    return block;
}

}  // namespace cinemill
