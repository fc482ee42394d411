// Feeds arbitrary text to branchwork's project-file loader and to the import
// of a host selection (applet markup or an HTML menu), then writes the
// result back out in both forms.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "branchwork/base/ui_host.h"
#include "branchwork/output/html_menu.h"
#include "branchwork/project/loader.h"

namespace {

class QuietHost : public branchwork::BwUiHost {
public:
    void Message(const std::string&, branchwork::MessageIcon) override {}
    bool ConfirmOkCancel(const std::string&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    QuietHost host;
    {
        branchwork::NavigationProject p;
        branchwork::LoadProjectText(p, text, host);
        (void)branchwork::ProjectFileText(p);
    }
    {
        branchwork::NavigationProject p;
        branchwork::ImportMarkup(p, text, "/nonexistent-branchwork-fuzz/site/", host);
        (void)branchwork::ProjectFileText(p);
        // The HTML menu of whatever was read (an HTML menu in the input too).
        const branchwork::HtmlMenuContext ctx{"/nonexistent-branchwork-fuzz/site/", "", false, false};
        (void)branchwork::GenerateHtmlMenu(p, ctx, host);
    }
    return 0;
}
