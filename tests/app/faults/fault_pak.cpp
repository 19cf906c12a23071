// fault_pak: writes a resource archive made from the game's own one but damaged in one chosen
// way, for the tests that start the real program with it.
//
//   fault_pak SOURCE TARGET empty             a file of no bytes
//   fault_pak SOURCE TARGET truncated         the first half of SOURCE
//   fault_pak SOURCE TARGET not-pack          SOURCE with another magic
//   fault_pak SOURCE TARGET dir-past-end      the directory said to start at the end of file
//   fault_pak SOURCE TARGET entry-past-end    the first entry's bytes said to end past the file
//   fault_pak SOURCE TARGET add NAME          one more entry NAME (first in the directory)
//   fault_pak SOURCE TARGET damage NAME       entry NAME's contents spoilt as its type is
//   fault_pak SOURCE TARGET pad COUNT         COUNT one-byte entries named Royal_AC.BMP before the
//                                             real one, which the game unpacks over them
//   fault_pak SOURCE TARGET huge NAME         entry NAME, a JPEG, said to be 5648 x 65280 pixels
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/jpeg_picture.hpp"
#include "tools/pack/pak_writer.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using pellow::pack::PakEntry;

std::uint32_t Get32(const Bytes& b, std::size_t at) {
    if (at + 4 > b.size()) throw std::runtime_error("source archive is cut short");
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

// The source's entries, checked strictly: this tool must start from a sound archive.
std::vector<PakEntry> Entries(const Bytes& pak) {
    if (pak.size() < 12 || std::memcmp(pak.data(), "PACK", 4) != 0)
        throw std::runtime_error("source is not a resource archive");
    const std::size_t dirOffset = Get32(pak, 4);
    const std::size_t dirLength = Get32(pak, 8);
    if (dirLength % 64 != 0 || dirOffset + dirLength > pak.size())
        throw std::runtime_error("source directory does not fit the file");
    std::vector<PakEntry> entries;
    for (std::size_t at = dirOffset; at < dirOffset + dirLength; at += 64) {
        const char* name = reinterpret_cast<const char*>(pak.data() + at);
        const std::size_t offset = Get32(pak, at + 56);
        const std::size_t size = Get32(pak, at + 60);
        if (offset + size > pak.size()) throw std::runtime_error("source entry runs past the end");
        entries.push_back(
            {std::string(name, strnlen(name, 56)), Bytes(pak.begin() + static_cast<std::ptrdiff_t>(offset),
                                                         pak.begin() + static_cast<std::ptrdiff_t>(offset + size))});
    }
    return entries;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char a = s[s.size() - tail.size() + i];
        const char lower = (a >= 'A' && a <= 'Z') ? static_cast<char>(a - 'A' + 'a') : a;
        if (lower != tail[i]) return false;
    }
    return true;
}

// Keeps what identifies the file's type and spoils what a loader must trust next.
void Spoil(PakEntry& e) {
    Bytes& b = e.bytes;
    if (EndsWith(e.name, ".bmp")) {
        // "BM" stays; the rest of the file header and the whole info header become 0xFF: a
        // header size, width, height and bit depth no bitmap has.
        if (b.size() < 54) throw std::runtime_error(e.name + " is too short to be a bitmap");
        std::fill(b.begin() + 2, b.begin() + 54, std::uint8_t{0xFF});
    } else if (EndsWith(e.name, ".jpg")) {
        // The start-of-image marker stays; then a marker that no JPEG has, and noise.
        b.assign({0xFF, 0xD8, 0xFF, 0x01});
        for (int i = 0; i < 4000; ++i) b.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    } else if (EndsWith(e.name, ".wav")) {
        // A RIFF/WAVE header around a format chunk of nonsense, and no data chunk.
        b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 4, 0, 0, 0, 9, 9, 9, 9};
        Put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
    } else if (EndsWith(e.name, ".svgz")) {
        // The gzip magic stays; what it would inflate to is noise.
        b.resize(std::max<std::size_t>(b.size(), 4000));
        for (std::size_t i = 2; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 37 + 11);
    } else {
        throw std::runtime_error("no way to spoil " + e.name);
    }
}

PakEntry& Find(std::vector<PakEntry>& entries, const std::string& name) {
    for (PakEntry& e : entries)
        if (e.name == name) return e;
    throw std::runtime_error("no entry " + name + " in the source");
}

Bytes Make(const Bytes& source, const std::string& what, const std::string& arg) {
    if (what == "empty") return {};
    if (what == "truncated")
        return Bytes(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(source.size() / 2));
    if (what == "not-pack") {
        Bytes b = source;
        std::memcpy(b.data(), "KCAP", 4);
        return b;
    }
    if (what == "dir-past-end") {
        Entries(source);
        Bytes b = source;
        Put32(b, 4, static_cast<std::uint32_t>(b.size()));
        return b;
    }
    if (what == "entry-past-end") {
        Entries(source);
        Bytes b = source;
        const std::size_t first = Get32(b, 4);
        Put32(b, first + 56, static_cast<std::uint32_t>(b.size() - 8));  // offset; size stays
        return b;
    }
    std::vector<PakEntry> entries = Entries(source);
    if (what == "add") {
        const std::string text = "written where the game must never write\n";
        entries.insert(entries.begin(), PakEntry{arg, Bytes(text.begin(), text.end())});
    } else if (what == "damage") {
        Spoil(Find(entries, arg));
    } else if (what == "huge") {
        PakEntry& e = Find(entries, arg);
        const std::string jpeg = pellow::test::DeclareJpegSize(std::string(e.bytes.begin(), e.bytes.end()), 5648,
                                                               65280);
        e.bytes.assign(jpeg.begin(), jpeg.end());
    } else if (what == "pad") {
        const long count = std::stol(arg);
        if (entries.empty() || count <= 0) throw std::runtime_error("nothing to pad");
        // The game unpacks only files it reads, so the padding carries the name of one of them;
        // the real entry comes after it and is what stays.
        const auto ace = std::find_if(entries.begin(), entries.end(),
                                      [](const PakEntry& e) { return e.name == "Royal_AC.BMP"; });
        if (ace == entries.end()) throw std::runtime_error("no Royal_AC.BMP to pad before");
        std::vector<PakEntry> padding;
        // The name ends at its first NUL for the game; what follows only keeps the entries apart.
        for (long i = 0; i < count; ++i)
            padding.push_back(
                {std::string("Royal_AC.BMP") + '\0' + std::to_string(i), Bytes{static_cast<std::uint8_t>(i)}});
        entries.insert(ace, padding.begin(), padding.end());
    } else {
        throw std::runtime_error("unknown damage: " + what);
    }
    return pellow::pack::BuildPak(entries);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        std::cerr << "usage: fault_pak SOURCE TARGET CASE [ARG]\n";
        return 2;
    }
    try {
        WriteFile(argv[2], Make(ReadFile(argv[1]), argv[3], argc == 5 ? argv[4] : ""));
    } catch (const std::exception& e) {
        std::cerr << "fault_pak: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
