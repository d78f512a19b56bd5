// What libpng's error callbacks keep, for the reader and the writer alike:
// the message of the error that ended the call (libpng then jumps back to
// the caller's setjmp); warnings are dropped.
#pragma once

#include <png.h>

#include <cstdio>

namespace paltab {

struct LibpngMessage {
    char message[200];
};

// For png_create_read_struct and png_create_write_struct, whose error
// pointer is a LibpngMessage.
inline void OnLibpngError(png_structp png, png_const_charp message) {
    auto* kept = static_cast<LibpngMessage*>(png_get_error_ptr(png));
    std::snprintf(kept->message, sizeof kept->message, "%s", message);
    png_longjmp(png, 1);
}

inline void OnLibpngWarning(png_structp, png_const_charp) {}

}  // namespace paltab
