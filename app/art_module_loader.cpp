// The game's side: loads the art module when pictures must first be made.
#include <dlfcn.h>

#include "app/art_module.hpp"
#include "presentation/load_error.hpp"

namespace pellow {

RenderTablePicturesFunction ArtModule::Renderer() {
    std::call_once(loaded_, [this] {
        // Bound at once, and kept until the process ends: a resize may need it again.
        void* module = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* why = dlerror();
            error_ = why ? why : path_ + ": cannot be loaded";
            return;
        }
        render_ = reinterpret_cast<RenderTablePicturesFunction>(dlsym(module, kRenderTablePictures));
        if (!render_) error_ = path_ + ": not the art's module (no " + kRenderTablePictures + ")";
    });
    if (!render_) throw modDX::LoadError("ArtModule", modDX::errPictureFile, error_);
    return render_;
}

}  // namespace pellow
