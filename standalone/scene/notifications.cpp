#include "host/notify.h"

#include <algorithm>
#include <vector>

namespace {

struct Registration {
    NOTIFYPROC proc;
    void* param;
    int code;
    bool operator==(const Registration&) const = default;
};

std::vector<Registration>& registrations() {
    static std::vector<Registration> list;
    return list;
}

} // namespace

int RegisterNotification(NOTIFYPROC proc, void* param, int code) {
    registrations().push_back({proc, param, code});
    return 1;
}

int UnRegisterNotification(NOTIFYPROC proc, void* param, int code) {
    auto& list = registrations();
    const auto it = std::find(list.begin(), list.end(), Registration{proc, param, code});
    if (it == list.end()) {
        return 0;
    }
    list.erase(it);
    return 1;
}

void BroadcastNotification(int code, void* callParam) {
    // A callback may register or unregister others (a deleted modifier drops
    // its own), so each one is looked up again before it is called.
    const std::vector<Registration> snapshot = registrations();
    NotifyInfo info{code, callParam};
    for (const Registration& r : snapshot) {
        const auto& now = registrations();
        if (r.code == code && std::find(now.begin(), now.end(), r) != now.end()) {
            r.proc(r.param, &info);
        }
    }
}
