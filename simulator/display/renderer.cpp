#include "renderer.h"

#include <atomic>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace zorsim::display {

namespace {

std::atomic<render_entry_t> installed{nullptr};

// The module beside the file this code was linked into (a program or the
// VISA library), and nowhere else: no search path decides what is loaded.
render_entry_t load_module() {
#if defined(_WIN32)
    return nullptr;
#else
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&load_module), &self) == 0 || self.dli_fname == nullptr) return nullptr;
    const std::string here = self.dli_fname;
    const std::size_t slash = here.rfind('/');
    if (slash == std::string::npos) return nullptr;
    const std::string path = here.substr(0, slash + 1) + "libzorsim_render.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<render_entry_t>(dlsym(module, "zorsim_render_image"));
#endif
}

}  // namespace

void install_renderer(render_entry_t entry) { installed = entry; }

render_entry_t renderer() {
    if (const render_entry_t entry = installed.load()) return entry;
    static const render_entry_t loaded = load_module();
    return loaded;
}

}  // namespace zorsim::display
