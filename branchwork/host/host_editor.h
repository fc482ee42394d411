#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace branchwork {

// The six methods of the host HTML editor's automation object.
inline constexpr const char* kIsDocumentOpen = "HD_ISDOCUMENTOPEN";
inline constexpr const char* kCreateNewDoc = "HD_CREATENEWDOC";
inline constexpr const char* kGetSaveDirectory = "DOC_GETSAVEDIRECTORY";
inline constexpr const char* kForceSave = "DOC_FORCESAVE";
inline constexpr const char* kInsertAtCursor = "TEXT_INSERTATCURSOR";
inline constexpr const char* kGetSelection = "TEXT_GETSELECTION";

// The answer of one call: ok false when the call failed (the method is not
// provided, or it raised); text is the result as text, or for a failed call
// the cause when the host knows it (empty otherwise).
struct HostReply {
    bool ok = false;
    std::string text;
    static HostReply Ok(std::string t = {}) { return {true, std::move(t)}; }
    static HostReply Fail(std::string cause = {}) { return {false, std::move(cause)}; }
};

// The host editor, called late-bound: by method name with positional
// string arguments.
class HostEditor {
public:
    virtual ~HostEditor() = default;
    virtual HostReply Invoke(const std::string& method, const std::vector<std::string>& args) = 0;
};

// Creates a fresh host object for one use; null when it cannot be created.
using HostFactory = std::function<std::unique_ptr<HostEditor>()>;

// ---- a scripted host for tests --------------------------------------------

// What a scripted host answers and what it was asked. It outlives the host
// objects made from it, so that a test can look at it after a Send.
struct HostScript {
    bool failCreate = false;  // the object cannot be created
    int created = 0;
    // Replies per method, played in order; when a method's queue is empty its
    // default reply is used; a method with neither fails (not provided).
    std::map<std::string, std::deque<HostReply>> replies;
    std::map<std::string, HostReply> defaults;
    std::vector<std::string> calls;     // method names in call order
    std::vector<std::string> inserted;  // arguments of TEXT_INSERTATCURSOR
    // When set, "call:METHOD" is appended here too (for one ordered log
    // shared with a scripted user interface).
    std::vector<std::string>* log = nullptr;

    void Queue(const std::string& method, HostReply r) { replies[method].push_back(std::move(r)); }
    int CountOf(const std::string& method) const;
};

class ScriptedHostEditor : public HostEditor {
public:
    explicit ScriptedHostEditor(HostScript& script) : script_(script) {}
    HostReply Invoke(const std::string& method, const std::vector<std::string>& args) override;

private:
    HostScript& script_;
};

HostFactory ScriptedHostFactory(HostScript& script);

}  // namespace branchwork
