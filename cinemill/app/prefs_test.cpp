#include "cinemill/app/prefs.h"

#include <gtest/gtest.h>

#include "cinemill/app/file_association.h"
#include "cinemill/app/settings_store.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

using P = PreferenceBlock;

// An association that records calls and answers as told.
class FakeAssociation : public FileAssociation {
public:
    bool present = false, setWorks = true;
    int sets = 0, removes = 0;
    bool Present() override { return present; }
    bool Set() override {
        ++sets;
        if (setWorks) present = true;
        return setWorks;
    }
    bool Remove() override {
        ++removes;
        present = false;
        return true;
    }
};

// ---- the 52-byte layout and the slot rules --------------------------------------------------

TEST(PrefLayout, FiftyTwoLittleEndianBytesSlotZeroFirstAndNPrefThirteen) {
    MemorySettingsStore store;
    P prefs;
    prefs.Load(&store);
    prefs.Set(P::kDefaultDelay, 0x01020304);
    const auto pref = store.ReadBinary("Pref");
    ASSERT_TRUE(pref);
    // Every default at its place, the changed slot little-endian.
    const std::vector<uint8_t> expected = {
        0x04, 0x03, 0x02, 0x01,  0, 0, 0, 0,  0x24, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,
        0x6A, 0x04, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  7, 0, 0, 0,  1, 0, 0, 0,
        0x01, 0x02, 0x88, 0,  0, 0, 0, 0,  100, 0, 0, 0};
    EXPECT_EQ(*pref, expected);
    EXPECT_EQ(store.ReadDword("NPref"), 13u);
    // Slot 2 is written as stored, not as read.
    prefs.Set(P::kFrameSizeConflict, 1);
    EXPECT_EQ((*store.ReadBinary("Pref"))[8], 1);
    EXPECT_EQ(prefs.Get(P::kFrameSizeConflict), 0x24u);
}

TEST(PrefLayout, ShortLongAndMissingValuesFillWhatTheyHold) {
    MemorySettingsStore store;
    std::vector<uint8_t> bytes(48, 0);
    bytes[0] = 30;
    bytes[44] = 0x55;  // slot 11
    store.WriteBinary("Pref", bytes);
    store.WriteDword("NPref", 12);
    P prefs;
    prefs.Load(&store);
    EXPECT_EQ(prefs.DefaultDelay(), 30u);
    EXPECT_EQ(prefs.Get(P::kPreviewBackground), 0x55u);
    EXPECT_EQ(prefs.Get(P::kUndoLevels), 100u);  // 12 slots written: levels fall back

    // 52 bytes but no "NPref": the undo levels fall back too.
    std::vector<uint8_t> full(52, 0);
    full[48] = 5;
    store.WriteBinary("Pref", full);
    store.Remove("NPref");
    prefs.Load(&store);
    EXPECT_EQ(prefs.Get(P::kUndoLevels), 100u);
    store.WriteDword("NPref", 13);
    prefs.Load(&store);
    EXPECT_EQ(prefs.Get(P::kUndoLevels), 5u);

    // A longer value (up to 92 bytes is read) fills the 13 slots and no more;
    // a ragged tail is ignored.
    std::vector<uint8_t> longer(100, 0);
    longer[0] = 9;
    longer[52] = 0xEE;
    store.WriteBinary("Pref", longer);
    prefs.Load(&store);
    EXPECT_EQ(prefs.DefaultDelay(), 9u);
    store.WriteBinary("Pref", std::vector<uint8_t>{1, 2});
    prefs.Load(&store);
    EXPECT_EQ(prefs.DefaultDelay(), 10u);
    // "Pref" of another type reads as missing.
    store.WriteString("Pref", "abc");
    prefs.Load(&store);
    EXPECT_EQ(prefs.DefaultDelay(), 10u);
}

TEST(PrefLayout, AStoreThatCannotBeWrittenKeepsChangesInMemory) {
    MemorySettingsStore store;
    store.writable = false;
    P prefs;
    prefs.Load(&store);
    prefs.Set(P::kDefaultLoop, 3);
    EXPECT_EQ(prefs.DefaultLoop(), 3u);
    EXPECT_FALSE(store.ReadBinary("Pref"));
}

TEST(Signature, OffEmptyStoredAndBuiltIn) {
    MemorySettingsStore store;
    P prefs;
    prefs.Load(&store);
    EXPECT_EQ(prefs.SignatureText(), "Built with Cinemill 2.6");
    EXPECT_EQ(prefs.SignatureText(false, 5), "Built");
    prefs.SetSignature("");
    EXPECT_EQ(prefs.SignatureText(), "");  // an emptied text adds no comment
    EXPECT_EQ(store.ReadString("Sig"), "");
    prefs.SetSignature("made here");
    prefs.SetBits(P::kProgramFlags, P::kFlagNoSignature, true);
    EXPECT_EQ(prefs.SignatureText(), "");
    EXPECT_EQ(prefs.SignatureText(true), "made here");
    // At most 300 characters are written.
    prefs.SetSignature(std::string(400, 'x'));
    EXPECT_EQ(store.ReadString("Sig")->size(), 300u);
}

// ---- "Defaults" ----------------------------------------------------------------------------

TEST(DefaultsPage, LoadsFromSlotsZeroOneAndTwo) {
    P prefs;
    DefaultsPage p = LoadDefaultsPage(prefs);
    EXPECT_EQ(p.delay, "10");
    EXPECT_EQ(p.iterations, "0");
    EXPECT_TRUE(p.changeSize);  // 0x24: enlarge, ask
    EXPECT_TRUE(p.alwaysAsk);
    prefs.Set(P::kFrameSizeConflict, 0x10);
    p = LoadDefaultsPage(prefs);
    EXPECT_FALSE(p.changeSize);
    EXPECT_FALSE(p.alwaysAsk);
    prefs.Set(P::kFrameSizeConflict, 2);  // old encoding of clip
    EXPECT_FALSE(LoadDefaultsPage(prefs).changeSize);
}

TEST(DefaultsPage, BadDelayThenBadIterationsAreRefusedWithTheirMessages) {
    DefaultsPage p{"10", "0", true, true};
    EXPECT_FALSE(CheckDefaultsPage(p));
    const PageProblem delay{StringId::DelayRange, StringId::DelayCaption, pref_controls::kDelay};
    const PageProblem loops{StringId::IterationsRange, StringId::IterationsCaption, pref_controls::kIterations};
    for (const char* bad : {"65536", "-1", "abc", "", "1.5", "99999999999999999999"}) {
        p.delay = bad;
        EXPECT_EQ(CheckDefaultsPage(p), delay) << bad;
    }
    p.delay = "65535";
    EXPECT_FALSE(CheckDefaultsPage(p));
    p.iterations = "65537";
    EXPECT_EQ(CheckDefaultsPage(p), loops);
    p.delay = "70000";  // the delay is checked first
    EXPECT_EQ(CheckDefaultsPage(p), delay);
    p.delay = " 0 ";
    p.iterations = "65536";
    EXPECT_FALSE(CheckDefaultsPage(p));
    EXPECT_EQ(LoadString(delay.text), "The delay must be in the range from 0 to 65535.");
    EXPECT_EQ(LoadString(delay.caption), "Invalid Delay Value");
    EXPECT_EQ(LoadString(loops.text), "The number of iterations must be in the range from 0 to 65536.");
    EXPECT_EQ(LoadString(loops.caption), "Bad Iteration Value");
}

TEST(DefaultsPage, ApplyWritesTheSlots) {
    P prefs;
    ApplyDefaultsPage(DefaultsPage{"25", "65536", false, false}, prefs);
    EXPECT_EQ(prefs.DefaultDelay(), 25u);
    EXPECT_EQ(prefs.DefaultLoop(), 65536u);
    EXPECT_EQ(prefs.Get(P::kFrameSizeConflict), 0x10u);
    ApplyDefaultsPage(DefaultsPage{"0", "3", true, true}, prefs);
    EXPECT_EQ(prefs.Get(P::kFrameSizeConflict), 0x24u);
    ApplyDefaultsPage(DefaultsPage{"0", "3", false, true}, prefs);
    EXPECT_EQ(prefs.Get(P::kFrameSizeConflict), 0x14u);
}

// ---- "Palettes" and the merge encoding -------------------------------------------------

TEST(PalettesPage, DefaultRoundTripsAndEveryChoiceEncodes) {
    P prefs;
    const PalettesPage p = LoadPalettesPage(prefs);
    EXPECT_EQ(p.choice, (MergeChoice{0, 0, 0, false}));
    EXPECT_TRUE(p.alwaysAsk);
    ApplyPalettesPage(p, prefs);
    EXPECT_EQ(prefs.Get(P::kPaletteMerging), 0x880201u);

    for (int m = 0; m < 5; ++m)
        for (int a = 0; a < 6; ++a)
            for (int b = 0; b < 6; ++b)
                for (bool d : {false, true}) {
                    const MergeChoice c{m, a, b, d};
                    const uint32_t v = EncodeMergeChoice(c, false);
                    EXPECT_EQ(MergeChoiceFromSlot(v), c);
                    EXPECT_EQ(v & P::kMergeMethodMask, 1u << m);
                    EXPECT_EQ(P::MergeMaxColors(v), MergeListColors(a));
                    EXPECT_EQ(P::MergeTrueColorMax(v), MergeListColors(b));
                    EXPECT_EQ((v & P::kMergeAsk) != 0, false);
                }
    EXPECT_EQ(EncodeMergeChoice(MergeChoice{2, 1, 5, true}, true), 0x370304u);
    // A stored bit count of 2 or less shows 256; 0x1000 is not kept.
    EXPECT_EQ(MergeChoiceFromSlot(0x221008).maxColors, 0);
    EXPECT_EQ(MergeChoiceFromSlot(0x221008).method, 3);
    EXPECT_EQ(MergeListColors(5), 8);
}

// ---- "Program" -----------------------------------------------------------------------------

TEST(ProgramPage, FlagsKeepOtherBitsAndTheFlatLookTakesEffectAtOnce) {
    P prefs;
    prefs.Set(P::kProgramFlags, P::kFlagVerticalStrips | P::kFlagNoSignature | P::kFlagContinuousLoop);
    FakeAssociation assoc;
    ScriptedUiHost host;
    ProgramPage p = LoadProgramPage(prefs, &assoc);
    EXPECT_EQ(p.undoLevels, "100");
    EXPECT_TRUE(p.continuousLoop);
    EXPECT_FALSE(p.flatLook);
    EXPECT_FALSE(p.associate);
    p.flatLook = true;  // only the flat-look box changes
    const ProgramApplied r = ApplyProgramPage(p, prefs, &assoc, host);
    EXPECT_TRUE(r.flatLookChanged);
    EXPECT_EQ(prefs.Get(P::kProgramFlags),
              P::kFlagVerticalStrips | P::kFlagNoSignature | P::kFlagContinuousLoop | P::kFlagFlatToolbars);
    EXPECT_EQ(assoc.sets + assoc.removes, 0);
    p = LoadProgramPage(prefs, &assoc);
    p.continuousLoop = false;
    EXPECT_FALSE(ApplyProgramPage(p, prefs, &assoc, host).flatLookChanged);
    EXPECT_EQ(prefs.Get(P::kProgramFlags), P::kFlagVerticalStrips | P::kFlagNoSignature | P::kFlagFlatToolbars);
    EXPECT_TRUE(host.errors.empty());
}

TEST(ProgramPage, UndoLevelsAreAnUnsignedNumber) {
    P prefs;
    ProgramPage p = LoadProgramPage(prefs, nullptr);
    const PageProblem bad{StringId::UndoLevelsInvalid, StringId::UndoLevelsCaption, pref_controls::kUndoLevels};
    for (const char* t : {"-1", "x", "", "4294967296"}) {
        p.undoLevels = t;
        EXPECT_EQ(CheckProgramPage(p), bad) << t;
    }
    p.undoLevels = "0";
    EXPECT_FALSE(CheckProgramPage(p));
    ScriptedUiHost host;
    ApplyProgramPage(p, prefs, nullptr, host);
    EXPECT_EQ(prefs.Get(P::kUndoLevels), 0u);
    p.undoLevels = "4294967295";
    EXPECT_FALSE(CheckProgramPage(p));
    ApplyProgramPage(p, prefs, nullptr, host);
    EXPECT_EQ(prefs.Get(P::kUndoLevels), 4294967295u);
}

TEST(ProgramPage, AssociationIsSetOrRemovedOnlyWhenTheBoxChanged) {
    P prefs;
    FakeAssociation assoc;
    ScriptedUiHost host;
    ProgramPage p = LoadProgramPage(prefs, &assoc);
    p.associate = true;
    EXPECT_FALSE(ApplyProgramPage(p, prefs, &assoc, host).associationFailed);
    EXPECT_EQ(assoc.sets, 1);
    EXPECT_TRUE(assoc.present);
    p = LoadProgramPage(prefs, &assoc);
    EXPECT_TRUE(p.associate);
    ApplyProgramPage(p, prefs, &assoc, host);  // unchanged: nothing happens
    EXPECT_EQ(assoc.sets, 1);
    EXPECT_EQ(assoc.removes, 0);
    p.associate = false;
    ApplyProgramPage(p, prefs, &assoc, host);
    EXPECT_EQ(assoc.removes, 1);
    EXPECT_FALSE(assoc.present);
    EXPECT_TRUE(host.errors.empty());

    // A failed set shows the message; the state is asked again next time.
    assoc.setWorks = false;
    p = LoadProgramPage(prefs, &assoc);
    p.associate = true;
    EXPECT_TRUE(ApplyProgramPage(p, prefs, &assoc, host).associationFailed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error setting GIF file association. Association not set.");
    EXPECT_FALSE(LoadProgramPage(prefs, &assoc).associate);
}

// ---- "Signature" ---------------------------------------------------------------------------

TEST(SignaturePage, LoadsWithIgnoreOffAndTheEditFollowsTheBox) {
    P prefs;
    SignaturePage p = LoadSignaturePage(prefs);
    EXPECT_TRUE(p.addSignature);
    EXPECT_TRUE(p.TextEnabled());
    EXPECT_EQ(p.text, "Built with Cinemill 2.6");
    prefs.SetBits(P::kProgramFlags, P::kFlagNoSignature, true);
    p = LoadSignaturePage(prefs);
    EXPECT_FALSE(p.addSignature);
    EXPECT_FALSE(p.TextEnabled());
    EXPECT_EQ(p.text, "Built with Cinemill 2.6");  // shown although switched off
}

TEST(SignaturePage, TwoHundredFiftySixCharactersAreRefused) {
    P prefs;
    SignaturePage p = LoadSignaturePage(prefs);
    p.text = std::string(255, 'a');
    EXPECT_FALSE(CheckSignaturePage(p));
    p.text = std::string(256, 'a');
    const auto problem = CheckSignaturePage(p);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->control, pref_controls::kSignatureText);
    EXPECT_EQ(LoadString(problem->text),
              "The comment string must be shorter than 255 characters. Use multiple comment blocks if necessary.");
    EXPECT_EQ(LoadString(problem->caption), "Comment Too Long");
}

TEST(SignaturePage, ApplyWritesTheTextOnlyWhenEditedAndReportsAChange) {
    MemorySettingsStore store;
    P prefs;
    prefs.Load(&store);
    SignaturePage p = LoadSignaturePage(prefs);
    EXPECT_FALSE(ApplySignaturePage(p, prefs));  // nothing changed
    EXPECT_FALSE(store.ReadString("Sig"));       // the built-in text is not written
    p.addSignature = false;
    EXPECT_TRUE(ApplySignaturePage(p, prefs));
    EXPECT_TRUE(prefs.Flag(P::kFlagNoSignature));
    EXPECT_EQ(prefs.SignatureText(), "");  // the next save adds none
    p = LoadSignaturePage(prefs);
    p.addSignature = true;
    p.text = "";
    EXPECT_TRUE(ApplySignaturePage(p, prefs));
    EXPECT_FALSE(prefs.Flag(P::kFlagNoSignature));
    EXPECT_EQ(store.ReadString("Sig"), "");
    EXPECT_EQ(prefs.SignatureText(), "");  // emptied with the box checked: no comment
    p = LoadSignaturePage(prefs);
    p.text = "Mine";
    EXPECT_TRUE(ApplySignaturePage(p, prefs));
    EXPECT_EQ(prefs.SignatureText(), "Mine");
}

// ---- the sheet and the frame-size question --------------------------------------------

TEST(PreferencesSheet, ABadPageKeepsTheSheetAndOnlyShownPagesApply) {
    MemorySettingsStore store;
    P prefs;
    prefs.Load(&store);
    prefs.Set(P::kPaletteMerging, 0x221008);  // not what the page would write back
    FakeAssociation assoc;
    ScriptedUiHost host;
    PreferencesSheet sheet(prefs, &assoc);
    EXPECT_EQ(sheet.Current(), PreferencesSheet::kDefaults);
    sheet.defaults.delay = "70000";
    ASSERT_TRUE(sheet.ShowPage(PreferencesSheet::kProgram));
    EXPECT_EQ(sheet.Current(), PreferencesSheet::kDefaults);
    const auto refused = sheet.Ok(host);
    ASSERT_TRUE(refused.problem);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Invalid Delay Value: The delay must be in the range from 0 to 65535.");
    EXPECT_EQ(prefs.DefaultDelay(), 10u);

    sheet.defaults.delay = "40";
    EXPECT_FALSE(sheet.ShowPage(PreferencesSheet::kSignature));
    sheet.signature.addSignature = false;
    const auto ok = sheet.Ok(host);
    EXPECT_FALSE(ok.problem);
    EXPECT_TRUE(ok.documentModified);
    EXPECT_FALSE(ok.flatLookChanged);
    EXPECT_EQ(prefs.DefaultDelay(), 40u);
    EXPECT_TRUE(prefs.Flag(P::kFlagNoSignature));
    EXPECT_EQ(prefs.Get(P::kPaletteMerging), 0x221008u);  // never shown, never written

    // What was applied is in the store.
    P again;
    again.Load(&store);
    EXPECT_EQ(again.DefaultDelay(), 40u);
    EXPECT_TRUE(again.Flag(P::kFlagNoSignature));
}

TEST(FrameSizeQuestion, StartAndResult) {
    EXPECT_TRUE(FrameSizeQuestionStartsWithChange(0x24));
    EXPECT_FALSE(FrameSizeQuestionStartsWithChange(0x14));
    EXPECT_EQ(FrameSizeQuestionResult(false, false), 0x14u);
    EXPECT_EQ(FrameSizeQuestionResult(true, false), 0x24u);
    EXPECT_EQ(FrameSizeQuestionResult(false, true), 0x10u);
    EXPECT_EQ(FrameSizeQuestionResult(true, true), 0x20u);
    EXPECT_EQ(LoadString(StringId::FrameSizeConflictQuestion),
              "The frame to be inserted is larger than the current animation size. How should this be handled?");
}

}  // namespace
}  // namespace cinemill
