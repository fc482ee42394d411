#include "branchwork/host/page_file_host.h"

#include <filesystem>

#include "branchwork/base/text_encoding.h"
#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "cinemill/gif/gif_writer.h"

namespace branchwork {

namespace {

// Whether the text before `pos` ends (after blanks) with an upload comment;
// answers the comment's start.
std::optional<size_t> UploadCommentBefore(const std::string& page, size_t pos) {
    size_t e = pos;
    while (e > 0 && static_cast<unsigned char>(page[e - 1]) <= ' ') --e;
    if (e < 3 || page.compare(e - 3, 3, "-->") != 0) return std::nullopt;
    const size_t open = page.rfind("<!--", e - 3);
    if (open == std::string::npos) return std::nullopt;
    const std::string_view comment(page.data() + open, e - open);
    if (!ContainsText(comment, "files need to be uploaded")) return std::nullopt;
    return open;
}

}  // namespace

std::optional<AppletBlock> FindAppletBlock(const std::string& page) {
    size_t from = 0;
    while ((from = FindNoCase(page, "<APPLET", from)) != std::string::npos) {
        const size_t close = page.find('>', from);
        if (close == std::string::npos) return std::nullopt;
        const std::string_view tag(page.data() + from, close + 1 - from);
        if (ContainsText(tag, "CODE=\"Voltan") || ContainsText(tag, "CODE=\"Voltar")) {
            // Only a complete block of ours: a closing tag that comes after the
            // next APPLET element belongs to that one, not to this.
            const size_t end_tag = FindNoCase(page, "</APPLET>", close);
            if (end_tag == std::string::npos) return std::nullopt;
            const size_t next_open = FindNoCase(page, "<APPLET", close);
            if (next_open != std::string::npos && next_open < end_tag) return std::nullopt;
            AppletBlock b;
            b.begin = UploadCommentBefore(page, from).value_or(from);
            b.textEnd = end_tag + 9;
            b.end = b.textEnd;
            if (b.end < page.size() && page[b.end] == '\r') ++b.end;
            if (b.end < page.size() && page[b.end] == '\n') ++b.end;
            return b;
        }
        from = close;
    }
    return std::nullopt;
}

PageFileHost::PageFileHost(std::string path) : path_(std::move(path)) {
    std::string bytes;
    if (!ReadTextFile(path_, bytes)) return;
    open_ = true;
    saved_ = true;
    if (auto decoded = DecodeText(bytes)) {
        encoding_ = decoded->encoding;
        text_ = std::move(decoded->text);
    } else {
        // The page stays open, so that a Send does not make a new page over
        // it, but nothing is read from it or written to it.
        refusal_ = std::string(texts::kPageEncodingPrefix) + path_ + texts::kPageEncodingSuffix;
    }
}

bool PageFileHost::Save() {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(path_, ec) && !cinemill::ReplaceFileWithCopy(path_, path_ + ".bak")) return false;
    if (!WriteFileReplacing(path_, EncodeText(text_, encoding_))) return false;
    saved_ = true;
    return true;
}

HostReply PageFileHost::Invoke(const std::string& method, const std::vector<std::string>& args) {
    if (method == kIsDocumentOpen) return HostReply::Ok(open_ ? "True" : "False");
    if (method == kCreateNewDoc) {
        text_ = "<html>\r\n<head>\r\n<title></title>\r\n</head>\r\n<body>\r\n" + std::string(kCursorMarker) +
                "\r\n</body>\r\n</html>\r\n";
        open_ = true;
        saved_ = false;
        return HostReply::Ok();
    }
    if (method == kGetSaveDirectory) {
        if (!open_ || !saved_) return HostReply::Ok("");
        std::error_code ec;
        const auto abs = std::filesystem::absolute(path_, ec);
        if (ec) return HostReply::Fail();
        // "./" and "../" in the page's name are taken out, so that paths
        // made relative to this directory resolve from the page.
        return HostReply::Ok(WithTrailingSeparator(abs.lexically_normal().parent_path().string()));
    }
    if (!refusal_.empty() && (method == kForceSave || method == kGetSelection || method == kInsertAtCursor))
        return HostReply::Fail(refusal_);
    if (method == kForceSave) {
        if (!open_) return HostReply::Fail();
        return Save() ? HostReply::Ok() : HostReply::Fail();
    }
    if (method == kGetSelection) {
        if (!open_) return HostReply::Ok("");
        const auto b = FindAppletBlock(text_);
        if (!b) return HostReply::Ok("");
        return HostReply::Ok(text_.substr(b->begin, b->textEnd - b->begin));
    }
    if (method == kInsertAtCursor) {
        if (!open_ || args.size() != 1) return HostReply::Fail();
        // An 8-bit page may declare any character set: characters past
        // ASCII go in as references, which read the same in all of them.
        const std::string s = encoding_ == TextEncoding::EightBit ? AsciiWithReferences(args[0]) : args[0];
        const std::string before = text_;
        if (const auto b = FindAppletBlock(text_)) {
            text_.replace(b->begin, b->end - b->begin, s);
        } else if (const size_t m = text_.find(kCursorMarker); m != std::string::npos) {
            size_t at = m + std::string(kCursorMarker).size();
            if (at < text_.size() && text_[at] == '\r') ++at;
            if (at < text_.size() && text_[at] == '\n') ++at;
            else text_.insert(at++, "\n");
            text_.insert(at, s);
        } else {
            size_t body = std::string::npos;
            for (size_t f = 0; (f = FindNoCase(text_, "</body", f)) != std::string::npos; ++f) body = f;
            text_.insert(body == std::string::npos ? text_.size() : body, s);
        }
        if (!Save()) {
            text_ = before;
            return HostReply::Fail(std::string(texts::kPageNotWritten) + path_ + "\".");
        }
        return HostReply::Ok();
    }
    return HostReply::Fail();
}

HostFactory PageFileHostFactory(const std::string& path) {
    return [path]() -> std::unique_ptr<HostEditor> { return std::make_unique<PageFileHost>(path); };
}

}  // namespace branchwork
