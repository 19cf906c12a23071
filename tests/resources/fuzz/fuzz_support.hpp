#pragma once
// Shared by the fuzz targets: how a broken promise is reported, and a private scratch folder
// below TMPDIR (a memory file system in the CI script) made once per process.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

namespace pellow::fuzz {

// A finding besides crashes and sanitizer reports: libFuzzer keeps the input that led here.
[[noreturn]] inline void Finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::abort();
}

struct Scratch {
    std::filesystem::path root;

    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellow-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) Finding("no scratch folder");
        root = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
};

}  // namespace pellow::fuzz
