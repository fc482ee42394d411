#include "branchwork/host/host_editor.h"

#include <algorithm>

namespace branchwork {

int HostScript::CountOf(const std::string& method) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), method));
}

HostReply ScriptedHostEditor::Invoke(const std::string& method, const std::vector<std::string>& args) {
    script_.calls.push_back(method);
    if (script_.log) script_.log->push_back("call:" + method);
    if (method == kInsertAtCursor && !args.empty()) script_.inserted.push_back(args[0]);
    auto q = script_.replies.find(method);
    if (q != script_.replies.end() && !q->second.empty()) {
        HostReply r = q->second.front();
        q->second.pop_front();
        return r;
    }
    auto d = script_.defaults.find(method);
    if (d != script_.defaults.end()) return d->second;
    return HostReply::Fail();
}

HostFactory ScriptedHostFactory(HostScript& script) {
    return [&script]() -> std::unique_ptr<HostEditor> {
        if (script.failCreate) return nullptr;
        ++script.created;
        return std::make_unique<ScriptedHostEditor>(script);
    };
}

}  // namespace branchwork
