#include "branchwork/model/color.h"

namespace branchwork {

Color ResolveColor(Color c) {
    if (!IsSystemColor(c)) return c & 0x00FFFFFFu;
    switch (c & 0xFF) {
        case kColorWindow: return MakeColor(255, 255, 255);
        case kColorWindowText: return MakeColor(0, 0, 0);
        case kColorButtonFace: return MakeColor(240, 240, 240);
        case 16: return MakeColor(160, 160, 160);  // button shadow
        case 20: return MakeColor(255, 255, 255);  // button highlight
        case 13: return MakeColor(0, 120, 215);    // highlight
        case 14: return MakeColor(255, 255, 255);  // highlight text
        case 17: return MakeColor(109, 109, 109);  // gray text
        case 24: return MakeColor(255, 255, 225);  // info background
        case 23: return MakeColor(0, 0, 0);        // info text
        default: return MakeColor(192, 192, 192);
    }
}

}  // namespace branchwork
