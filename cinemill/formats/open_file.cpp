#include "cinemill/formats/open_file.h"

#include <sys/stat.h>

#include <cstdio>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/ani.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/bmp_import.h"
#include "cinemill/formats/format_common.h"
#include "cinemill/formats/jpeg_import.h"
#include "cinemill/formats/psd_import.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {

ImportOutcome ReadImageFile(const std::string& path, UiHost& host, ProgressReporter& progress,
                            PreferenceBlock& prefs) {
    // stat, not open: opening a FIFO would wait for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        host.Error(FormatString(StringId::OpenFileFailed, path));
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        host.Error(FormatString(StringId::NotRegularFile, path));
        return {};
    }
    const std::string ext = LowerExtension(path);
    ImportOutcome out;
    if (ext == "gif") {
        GifReadOutcome r = OpenGifFile(path, host, progress, prefs);
        out.result = r.result;
        out.animation = std::move(r.animation);
        out.native = true;
        return out;
    }
    if (ext == "avi") {
        AviReadOutcome r = ImportAvi(path, host, progress, prefs);
        out.result = r.result;
        out.animation = std::move(r.animation);
    } else if (ext == "bmp" || ext == "dib") {
        out.animation = ImportBmpFile(path, host, prefs);
    } else if (ext == "jpg" || ext == "jpeg") {
        out.animation = ImportJpegFile(path, host, prefs);
    } else if (ext == "psd") {
        out.animation = ImportPsdFile(path, host, progress, prefs);
    } else if (ext == "ani") {
        out.animation = ImportAniFile(path, host, prefs);
    } else {
        host.Error(std::string(LoadString(StringId::UnknownFileType)));
        return {};
    }
    if (!out.animation) return {};
    if (out.result == Result::Failed) out.result = Result::Done;
    NameFrames(*out.animation, path);
    RecountColorUsage(*out.animation, true);
    return out;
}

}  // namespace cinemill
