// The host's save and load streams: nested chunks, each with a 16-bit id and
// a length. Every read reports by status, so a reader never runs past the
// end of a chunk or of the file.
#pragma once

#include "host/max_types.h"

using USHORT = std::uint16_t;

enum IOResult { IO_OK = 0, IO_END = 1, IO_ERROR = 2 };

class ISave {
  public:
    virtual ~ISave() = default;
    virtual void BeginChunk(USHORT id) = 0;
    virtual void EndChunk() = 0;
    virtual IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) = 0;
};

class ILoad;

class PostLoadCallback {
  public:
    virtual ~PostLoadCallback() = default;
    virtual void proc(ILoad* iload) = 0;
    virtual int Priority() { return 5; }
};

class ILoad {
  public:
    virtual ~ILoad() = default;
    // Opens the next chunk inside the current one: IO_OK, IO_END when there
    // is none, IO_ERROR when its header is damaged.
    virtual IOResult OpenChunk() = 0;
    virtual USHORT CurChunkID() = 0;
    virtual IOResult CloseChunk() = 0;
    // IO_ERROR (with *nread short) when fewer than nbytes remain in the
    // chunk.
    virtual IOResult Read(void* buf, ULONG nbytes, ULONG* nread) = 0;
    // Bytes left in the current chunk.
    virtual std::uint64_t BytesLeft() = 0;
    virtual void RegisterPostLoadCallback(PostLoadCallback* cb) = 0;
};
