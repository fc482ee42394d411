#include "cinemill/formats/open_file.h"

#include <sys/stat.h>

#include <cstdio>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/ani.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/bmp_import.h"
#include "cinemill/formats/format_common.h"
#include "cinemill/formats/jpeg_import.h"
#include "cinemill/formats/psd_import.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {

ReadOutcome ImportFile(const std::string& path, ImportFormat format, UiHost& host,
                       ProgressReporter& progress, PreferenceBlock& prefs) {
    // Signature tests, with the bytes each needs.
    struct Header {
        size_t size;
        HeaderCheck check;
    };
    static constexpr Header kHeaders[] = {{4, IsBmpHeader}, {2, IsJpegHeader}, {4, IsPsdHeader}, {12, IsAniHeader}};
    const Header& header = kHeaders[static_cast<int>(format)];
    std::vector<uint8_t> bytes;
    if (const FileRead r = ReadFileChecked(path, bytes, header.size, header.check); r != FileRead::Ok) {
        TellFileReadFailure(host, r, path);
        return {};
    }
    switch (format) {
        case ImportFormat::Bmp: return ImportBmp(bytes, host, prefs);
        case ImportFormat::Jpeg: return ImportJpeg(bytes, host, prefs);
        case ImportFormat::Psd: return ImportPsd(bytes, host, progress, prefs);
        case ImportFormat::Ani: return ImportAni(bytes, host, prefs);
    }
    return {};
}

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
        ReadOutcome r = OpenGifFile(path, host, progress, prefs);
        out.result = r.result;
        out.animation = std::move(r.animation);
        out.native = true;
        return out;
    }
    ReadOutcome r;
    if (ext == "avi") {
        r = ImportAvi(path, host, progress, prefs);
    } else if (ext == "bmp" || ext == "dib") {
        r = ImportFile(path, ImportFormat::Bmp, host, progress, prefs);
    } else if (ext == "jpg" || ext == "jpeg") {
        r = ImportFile(path, ImportFormat::Jpeg, host, progress, prefs);
    } else if (ext == "psd") {
        r = ImportFile(path, ImportFormat::Psd, host, progress, prefs);
    } else if (ext == "ani") {
        r = ImportFile(path, ImportFormat::Ani, host, progress, prefs);
    } else {
        Tell(host, StringId::UnknownFileType);
        return {};
    }
    out.result = r.result;
    out.animation = std::move(r.animation);
    if (!out.animation) return {};
    NameFrames(*out.animation, path);
    RecountColorUsage(*out.animation, true);
    return out;
}

}  // namespace cinemill
