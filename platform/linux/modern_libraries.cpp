// libheif and libjxl opened with dlopen on first use, their functions resolved into tables.
#include "platform/linux/modern_libraries.h"

#include <dlfcn.h>

#include <mutex>

namespace vexal {
namespace {

// One shared object, closed again unless Keep() is called.
class OpenedLibrary {
public:
    explicit OpenedLibrary(const char* soname) : handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {}
    ~OpenedLibrary() {
        if (handle_) ::dlclose(handle_);
    }
    OpenedLibrary(const OpenedLibrary&) = delete;
    OpenedLibrary& operator=(const OpenedLibrary&) = delete;

    bool Open() const { return handle_ != nullptr; }
    void Keep() { handle_ = nullptr; }

    // Resolves `name` into `function`; false when the library lacks it.
    template <class F>
    bool Resolve(F& function, const char* name) const {
        function = reinterpret_cast<F>(::dlsym(handle_, name));
        return function != nullptr;
    }

private:
    void* handle_;
};

}  // namespace

std::optional<HeifFunctions> LoadHeif(const char* soname) {
    OpenedLibrary library(soname);
    if (!library.Open()) return std::nullopt;
    HeifFunctions f{};
    const bool all =
        library.Resolve(f.check_filetype, "heif_check_filetype") &&
        library.Resolve(f.context_alloc, "heif_context_alloc") &&
        library.Resolve(f.context_free, "heif_context_free") &&
        library.Resolve(f.context_set_maximum_image_size_limit,
                        "heif_context_set_maximum_image_size_limit") &&
        library.Resolve(f.context_read_from_file, "heif_context_read_from_file") &&
        library.Resolve(f.context_get_primary_image_handle, "heif_context_get_primary_image_handle") &&
        library.Resolve(f.image_handle_release, "heif_image_handle_release") &&
        library.Resolve(f.image_handle_get_width, "heif_image_handle_get_width") &&
        library.Resolve(f.image_handle_get_height, "heif_image_handle_get_height") &&
        library.Resolve(f.image_handle_has_alpha_channel, "heif_image_handle_has_alpha_channel") &&
        library.Resolve(f.decoding_options_alloc, "heif_decoding_options_alloc") &&
        library.Resolve(f.decoding_options_free, "heif_decoding_options_free") &&
        library.Resolve(f.decode_image, "heif_decode_image") &&
        library.Resolve(f.image_release, "heif_image_release") &&
        library.Resolve(f.image_get_width, "heif_image_get_width") &&
        library.Resolve(f.image_get_height, "heif_image_get_height") &&
        library.Resolve(f.image_get_plane, "heif_image_get_plane");
    if (!all) return std::nullopt;
    library.Keep();
    return f;
}

std::optional<JxlFunctions> LoadJxl(const char* soname, const char* threadsSoname) {
    OpenedLibrary library(soname);
    OpenedLibrary threads(threadsSoname);
    if (!library.Open() || !threads.Open()) return std::nullopt;
    JxlFunctions f{};
    const bool all = library.Resolve(f.DecoderCreate, "JxlDecoderCreate") &&
                     library.Resolve(f.DecoderDestroy, "JxlDecoderDestroy") &&
                     library.Resolve(f.DecoderSetParallelRunner, "JxlDecoderSetParallelRunner") &&
                     library.Resolve(f.DecoderSubscribeEvents, "JxlDecoderSubscribeEvents") &&
                     library.Resolve(f.DecoderSetInput, "JxlDecoderSetInput") &&
                     library.Resolve(f.DecoderCloseInput, "JxlDecoderCloseInput") &&
                     library.Resolve(f.DecoderProcessInput, "JxlDecoderProcessInput") &&
                     library.Resolve(f.DecoderGetBasicInfo, "JxlDecoderGetBasicInfo") &&
                     library.Resolve(f.DecoderImageOutBufferSize, "JxlDecoderImageOutBufferSize") &&
                     library.Resolve(f.DecoderSetImageOutBuffer, "JxlDecoderSetImageOutBuffer") &&
                     threads.Resolve(f.ThreadParallelRunnerCreate, "JxlThreadParallelRunnerCreate") &&
                     threads.Resolve(f.ThreadParallelRunnerDestroy, "JxlThreadParallelRunnerDestroy") &&
                     threads.Resolve(f.ThreadParallelRunner, "JxlThreadParallelRunner");
    if (!all) return std::nullopt;
    library.Keep();
    threads.Keep();
    return f;
}

const HeifFunctions* SystemHeif() {
    static std::once_flag once;
    static std::optional<HeifFunctions> functions;
    std::call_once(once, [] { functions = LoadHeif(kHeifLibrary); });
    return functions ? &*functions : nullptr;
}

const JxlFunctions* SystemJxl() {
    static std::once_flag once;
    static std::optional<JxlFunctions> functions;
    std::call_once(once, [] { functions = LoadJxl(kJxlLibrary, kJxlThreadsLibrary); });
    return functions ? &*functions : nullptr;
}

}  // namespace vexal
