// pellow-pack: renders the game's resources and writes the archive, the start-up dialog's
// pictures, and pictures for checking them by eye.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/pack/contact_sheet.hpp"
#include "tools/pack/pack_contents.hpp"

namespace {

int Usage() {
    std::cerr << "usage: pellow-pack [--pak FILE] [--contact-sheet FILE.png] [--previews DIR]\n"
                 "                   [--dialog-images DIR] [--icon FILE.png] [--window-icon FILE.bmp]\n"
                 "  --pak FILE            write the game's resource archive (res002.pak)\n"
                 "  --contact-sheet FILE  write a PNG of every card, back, font and the pointer\n"
                 "  --previews DIR        write table_800.png and table_1024.png: the score page\n"
                 "                        over the table as the game shows it\n"
                 "  --dialog-images DIR   write banner.bmp and preview0.bmp to preview3.bmp (one\n"
                 "                        per deck) for the start-up dialog\n"
                 "  --icon FILE           write the desktop icon (128 x 128 PNG)\n"
                 "  --window-icon FILE    write the game window's icon (64 x 64 BMP)\n";
    return 2;
}

// Written beside the target and renamed into place, so a failed run never leaves a partial
// file that looks up to date.
void WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string tmp = path + ".part";
    pellow::pack::WriteFile(tmp, bytes);
    std::filesystem::rename(tmp, path);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pellow::pack;
    std::string pak, sheet, previews, dialog, icon, windowIcon;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (a == "--pak") pak = value;
        else if (a == "--contact-sheet") sheet = value;
        else if (a == "--previews") previews = value;
        else if (a == "--dialog-images") dialog = value;
        else if (a == "--icon") icon = value;
        else if (a == "--window-icon") windowIcon = value;
        else return Usage();
    }
    if (pak.empty() && sheet.empty() && previews.empty() && dialog.empty() && icon.empty() && windowIcon.empty())
        return Usage();

    try {
        const auto start = std::chrono::steady_clock::now();
        const ArtSources src = InstalledSources();
        if (!pak.empty() || !sheet.empty() || !previews.empty()) {
            const Artwork art = RenderArtwork(src);
            if (!pak.empty()) {
                const std::vector<PakEntry> entries = ArchiveEntries(art);
                const std::vector<std::uint8_t> bytes = BuildPak(entries);
                std::filesystem::path dir = std::filesystem::path(pak).parent_path();
                if (!dir.empty()) std::filesystem::create_directories(dir);
                WriteAtomically(pak, bytes);
                const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::printf("%s: %zu entries, %zu bytes, %.2f s\n", pak.c_str(), entries.size(), bytes.size(), secs);
            }
            if (!sheet.empty()) WritePng(MakeContactSheet(art), sheet);
            if (!previews.empty()) {
                std::filesystem::create_directories(previews);
                WritePng(MakeTablePreview(art, false), previews + "/table_800.png");
                WritePng(MakeTablePreview(art, true), previews + "/table_1024.png");
            }
        }
        if (!dialog.empty()) {
            std::filesystem::create_directories(dialog);
            const DialogImages d = RenderDialogImages(src);
            WriteAtomically(dialog + "/banner.bmp", EncodeBmp8(d.banner));
            for (std::size_t i = 0; i < d.previews.size(); ++i)
                WriteAtomically(dialog + "/preview" + std::to_string(i) + ".bmp", EncodeBmp24(d.previews[i]));
        }
        if (!icon.empty()) WritePng(RenderIcon(src), icon);
        if (!windowIcon.empty()) WriteAtomically(windowIcon, EncodeBmp24(RenderWindowIcon(src)));
    } catch (const std::exception& e) {
        std::cerr << "pellow-pack: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
