// libheif and libjxl opened on the first picture that needs them, not when the program
// starts: with their codec libraries (x265, aom, dav1d, libde265, highway ...) they add a
// fifth to every run's start-up, and most runs never see such a picture. The program is
// compiled against their headers and calls them through these tables of functions.
#pragma once

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <libheif/heif.h>

#include <optional>

namespace vexal {

// The shared objects by their SONAMEs, the names the dynamic linker would have looked for.
inline constexpr char kHeifLibrary[] = "libheif.so.1";
inline constexpr char kJxlLibrary[] = "libjxl.so.0.7";
inline constexpr char kJxlThreadsLibrary[] = "libjxl_threads.so.0.7";

// The functions of libheif the program calls, each named as in libheif without its prefix.
struct HeifFunctions {
    decltype(&::heif_check_filetype) check_filetype;
    decltype(&::heif_context_alloc) context_alloc;
    decltype(&::heif_context_free) context_free;
    decltype(&::heif_context_set_maximum_image_size_limit) context_set_maximum_image_size_limit;
    decltype(&::heif_context_read_from_file) context_read_from_file;
    decltype(&::heif_context_get_primary_image_handle) context_get_primary_image_handle;
    decltype(&::heif_image_handle_release) image_handle_release;
    decltype(&::heif_image_handle_get_width) image_handle_get_width;
    decltype(&::heif_image_handle_get_height) image_handle_get_height;
    decltype(&::heif_image_handle_has_alpha_channel) image_handle_has_alpha_channel;
    decltype(&::heif_decoding_options_alloc) decoding_options_alloc;
    decltype(&::heif_decoding_options_free) decoding_options_free;
    decltype(&::heif_decode_image) decode_image;
    decltype(&::heif_image_release) image_release;
    decltype(&::heif_image_get_width) image_get_width;
    decltype(&::heif_image_get_height) image_get_height;
    decltype(&::heif_image_get_plane) image_get_plane;
};

// The functions of libjxl and libjxl_threads the program calls, named as in the libraries.
struct JxlFunctions {
    decltype(&::JxlDecoderCreate) DecoderCreate;
    decltype(&::JxlDecoderDestroy) DecoderDestroy;
    decltype(&::JxlDecoderSetParallelRunner) DecoderSetParallelRunner;
    decltype(&::JxlDecoderSubscribeEvents) DecoderSubscribeEvents;
    decltype(&::JxlDecoderSetInput) DecoderSetInput;
    decltype(&::JxlDecoderCloseInput) DecoderCloseInput;
    decltype(&::JxlDecoderProcessInput) DecoderProcessInput;
    decltype(&::JxlDecoderGetBasicInfo) DecoderGetBasicInfo;
    decltype(&::JxlDecoderImageOutBufferSize) DecoderImageOutBufferSize;
    decltype(&::JxlDecoderSetImageOutBuffer) DecoderSetImageOutBuffer;
    decltype(&::JxlThreadParallelRunnerCreate) ThreadParallelRunnerCreate;
    decltype(&::JxlThreadParallelRunnerDestroy) ThreadParallelRunnerDestroy;
    decltype(&::JxlThreadParallelRunner) ThreadParallelRunner;
};

// Opens the libraries of these names and resolves every function; nothing when a library or
// one of the functions is missing, and then nothing stays open. What was opened stays
// loaded for the rest of the process (libraries that start threads are not unloaded).
[[nodiscard]] std::optional<HeifFunctions> LoadHeif(const char* soname);
[[nodiscard]] std::optional<JxlFunctions> LoadJxl(const char* soname, const char* threadsSoname);

// The process's own tables, loaded once by the first call from any thread; null when the
// library is not installed.
const HeifFunctions* SystemHeif();
const JxlFunctions* SystemJxl();

// Where a reader takes the libraries from: the system's, or (in a test) others.
struct ModernLibraries {
    const HeifFunctions* (*heif)() = SystemHeif;
    const JxlFunctions* (*jxl)() = SystemJxl;
};

}  // namespace vexal
