// An engine owned by a scope: korva_delete runs when the handle goes. The
// one deleter for every C++ owner of an engine (the korva program, tests, fuzz).
#ifndef KORVA_ENGINE_ENGINE_HANDLE_H
#define KORVA_ENGINE_ENGINE_HANDLE_H

#include "korva.h"

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
