#pragma once

// libjpeg's error handling for every program of ours that decodes or encodes JPEG, and the
// judgement whether a file's pixel data was all there.

#include <array>
#include <csetjmp>
#include <cstdio> // jpeglib.h uses FILE without including its header
#include <jpeglib.h>
#include <string>

namespace pxw::jpeg {

/// The error manager of one decoder or encoder. A fatal error jumps back to `guarded`; each
/// warning is recorded by its code, for `missingData` to judge.
struct Errors {
    jpeg_error_mgr manager {}; // first: libjpeg hands its callbacks a pointer to it
    std::jmp_buf jump {};
    std::array<char, JMSG_LENGTH_MAX> message {};
    std::array<bool, 256> warned {}; ///< by libjpeg's message code
    std::array<char, JMSG_LENGTH_MAX> firstWarning {}; ///< its text, for a message
};

/// Makes `errors` the error manager that a decoder or encoder is then created with.
jpeg_error_mgr* use(Errors& errors);

/// Runs `body`, which calls libjpeg: false, with libjpeg's reason in `errors.message`, when
/// libjpeg gave up on the way. A fatal error jumps out of `body` from inside libjpeg, so
/// `body` must keep nothing with a destructor alive across a libjpeg call.
template <typename Body> bool guarded(Errors& errors, Body&& body) {
    if (setjmp(errors.jump) != 0)
        return false;
    body();
    return true;
}

/// Why the picture `info` has decoded is not the file's whole picture, or empty when every
/// scan it holds was read in full. Call it once the last scanline is read, before
/// `jpeg_finish_decompress`. Small flaws around complete data are no reason: a missing end
/// marker, stray bytes before a marker, a broken ICC or JFIF marker. Data that ends before the
/// picture does is: libjpeg fills the rest with grey.
std::string missingData(const jpeg_decompress_struct& info, const Errors& errors);

/// Decodes the JPEG file in `bytes` as cheaply as libjpeg allows (every coefficient, at an
/// eighth of the size) and returns `missingData`'s verdict on it, or libjpeg's fatal error.
std::string missingData(const void* bytes, std::size_t size);

} // namespace pxw::jpeg
