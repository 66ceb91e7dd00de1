#pragma once
// The MD5 digests of the web files delivered with this build. The build
// computes them from the htmlDocs folder into a generated source, so the
// list always matches the files installed beside the program.
#include <array>

struct TWebFileDigest {
    const char* name;
    const char* md5;  // 32 lowercase hexadecimal characters
};

inline constexpr int kWebFileCount = 19;
extern const std::array<TWebFileDigest, kWebFileCount> kWebFileDigests;
