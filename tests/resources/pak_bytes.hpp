#pragma once
// Test helpers: archives written byte by byte, and a scratch folder per test.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

namespace pellow::test {

inline std::string LE32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u & 0xff), static_cast<char>((u >> 8) & 0xff), static_cast<char>((u >> 16) & 0xff),
            static_cast<char>((u >> 24) & 0xff)};
}

// A 64-byte directory entry; the name is padded with `pad` to 56 bytes.
inline std::string DirEntry(const std::string& name, std::int32_t offset, std::int32_t size, char pad = '\0') {
    std::string field = name.substr(0, 56);
    field.resize(56, pad);
    return field + LE32(offset) + LE32(size);
}

// The 16 header bytes. Built by appending: GCC 12 warns falsely on "literal" + std::string.
inline std::string Header(std::int32_t dirOffset, std::int32_t dirLength, const std::string& magic = "PACK") {
    std::string h = magic;
    h += LE32(dirOffset);
    h += LE32(dirLength);
    h += LE32(0);
    return h;
}

struct PakItem {
    std::string name;
    std::string data;
    char pad = '\0';  // what fills the name field after the name
};

// Header, then every entry's bytes, then the directory; DirLength counts the entries exactly
// unless dirLength is given.
inline std::string PakBytes(const std::vector<PakItem>& items, std::int32_t dirLength = -1) {
    std::string body;
    std::string dir;
    for (const PakItem& item : items) {
        dir += DirEntry(item.name, static_cast<std::int32_t>(16 + body.size()),
                        static_cast<std::int32_t>(item.data.size()), item.pad);
        body += item.data;
    }
    if (dirLength < 0) dirLength = static_cast<std::int32_t>(dir.size());
    return Header(static_cast<std::int32_t>(16 + body.size()), dirLength) + body + dir;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each test gets a fresh folder of its own, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellow-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir, ec);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    std::filesystem::path dir;
};

}  // namespace pellow::test
