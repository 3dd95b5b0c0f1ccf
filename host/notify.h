// Broadcast notifications: the host calls every function registered for a
// code with the registered parameter and the event's own information.
#pragma once

#include "host/object.h"

inline constexpr int NOTIFY_SCENE_PRE_DELETED_NODE = 0x44;
inline constexpr int NOTIFY_SCENE_POST_DELETED_NODE = 0x45;
inline constexpr int NOTIFY_PRE_MODIFIER_DELETED = 0x73;
inline constexpr int NOTIFY_POST_MODIFIER_DELETED = 0x74;

struct NotifyInfo {
    int intcode = 0;
    void* callParam = nullptr;
};

// The call parameter of the modifier-deleted codes.
struct NotifyModAddDel {
    INode* node = nullptr;
    Modifier* mod = nullptr;
    ModContext* mc = nullptr;
};

using NOTIFYPROC = void (*)(void* param, NotifyInfo* info);

// Provided by the host application.
int RegisterNotification(NOTIFYPROC proc, void* param, int code);
int UnRegisterNotification(NOTIFYPROC proc, void* param, int code);
void BroadcastNotification(int code, void* callParam);
