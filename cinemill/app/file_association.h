#pragma once

#include <string>

namespace cinemill {

// The "Edit with Cinemill" entry that GIF files offer in the file manager.
// The Preferences sheet's Program page asks whether it is present when it
// opens, and sets or removes it when applied.
class FileAssociation {
public:
    virtual ~FileAssociation() = default;
    virtual bool Present() = 0;
    // True when the entry was written.
    virtual bool Set() = 0;
    // True when no entry of ours is left.
    virtual bool Remove() = 0;
};

// The freedesktop form: a desktop entry "cinemill-edit.desktop" in
// `<data dir>/applications` with MimeType=image/gif and an action named
// "Edit with Cinemill" that starts `program` on the file. The data dir is
// $XDG_DATA_HOME, else ~/.local/share. The entry is present when the file
// exists and its action starts this program (an entry of another
// installation counts as absent and is replaced by Set). Without a program
// path nothing can be started, so Set fails.
class DesktopFileAssociation : public FileAssociation {
public:
    static constexpr const char* kFileName = "cinemill-edit.desktop";

    DesktopFileAssociation(std::string data_dir, std::string program)
        : dataDir_(std::move(data_dir)), program_(std::move(program)) {}
    // The user's data directory and the running program.
    static DesktopFileAssociation ForCurrentUser();

    bool Present() override;
    bool Set() override;
    bool Remove() override;

    std::string EntryPath() const;
    // The text the entry holds for this program.
    std::string EntryText() const;

private:
    std::string dataDir_;
    std::string program_;
};

// $XDG_DATA_HOME when set to an absolute path, else $HOME/.local/share;
// empty when neither is known.
std::string UserDataDir();
// The path of the running program (empty when it cannot be found).
std::string CurrentProgramPath();
// The Exec key's command for `program` on one file: the path quoted as the
// desktop entry format wants, then " %f".
std::string DesktopExecCommand(const std::string& program);

}  // namespace cinemill
