// An engine owned by a scope: korva_delete runs when the handle goes.
#ifndef KORVA_CLI_ENGINE_HANDLE_H
#define KORVA_CLI_ENGINE_HANDLE_H

#include "engine/korva.h"

#include <memory>

struct EngineDeleter {
    void operator()(KorvaEngine *engine) const { korva_delete(engine); }
};

using EngineHandle = std::unique_ptr<KorvaEngine, EngineDeleter>;

// A new engine at its defaults; empty when the allocation failed.
inline EngineHandle make_engine()
{
    return EngineHandle(korva_new());
}

#endif
