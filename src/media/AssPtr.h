#pragma once

// Owning handles for libass objects. A track must be freed before the library it was made with,
// and the renderer before the library too; holders declare them in that order. Each deleter
// accepts null.

#include <memory>

extern "C" {
#include <ass/ass.h>
}

struct CAssLibraryDeleter {
    void operator()(ASS_Library* p) const { ass_library_done(p); }
};
struct CAssRendererDeleter {
    void operator()(ASS_Renderer* p) const { ass_renderer_done(p); }
};
struct CAssTrackDeleter {
    void operator()(ASS_Track* p) const { ass_free_track(p); }
};

using CAssLibraryPtr = std::unique_ptr<ASS_Library, CAssLibraryDeleter>;
using CAssRendererPtr = std::unique_ptr<ASS_Renderer, CAssRendererDeleter>;
using CAssTrackPtr = std::unique_ptr<ASS_Track, CAssTrackDeleter>;
