#include "app/table_pictures.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>

#include "app/art_module.hpp"
#include "art/table_art_set.hpp"
#include "engine/numeric.hpp"
#include "presentation/load_error.hpp"
#include "presentation/table.hpp"

namespace pellow {

namespace {

// Raised whenever the rendering changes what it makes, so that older kept pictures are not used.
constexpr std::uint64_t kRendererVersion = 1;

std::string FileOf(const std::string& entry) { return "res\\Art\\" + entry; }

}  // namespace

PictureCacheKey TablePicturesKey(const std::string& deckFolder, const TablePlacement& placement, std::uint64_t source) {
    return {deckFolder + "-" + std::to_string(placement.pixelWidth) + "x" + std::to_string(placement.pixelHeight),
            source};
}

TablePlacement PlaceTable(int pixelWidth, int pixelHeight) {
    TablePlacement p;
    p.pixelWidth = pixelWidth;
    p.pixelHeight = pixelHeight;
    p.table = FittedTableSize(pixelWidth, pixelHeight);
    const double scale = std::min(static_cast<double>(pixelWidth) / p.table.width,
                                  static_cast<double>(pixelHeight) / p.table.height);
    p.transform.scale = scale > 0 ? scale : 1.0;
    p.transform.tableWidth = p.table.width;
    p.transform.tableHeight = p.table.height;
    // A screen of a shape beyond the layouts' keeps the table in its middle, on the felt.
    p.transform.offsetX = std::max(0, (pixelWidth - RoundHalfEven(p.table.width * p.transform.scale)) / 2);
    p.transform.offsetY = std::max(0, (pixelHeight - RoundHalfEven(p.table.height * p.transform.scale)) / 2);
    return p;
}

std::vector<std::string> TableArtFiles(const std::string& deckFolder) {
    return {FileOf(deckFolder + ".svgz"), FileOf("digit.ttf"), FileOf("digitLetters.ttf"), FileOf("deluxe.otf"),
            FileOf("hand.otf")};
}

std::uint64_t TableArtSource(const std::string& pakPath) {
    struct stat st {};
    if (stat(pakPath.c_str(), &st) != 0) return 0;
    // FNV-1a over what changes when the archive does.
    std::uint64_t h = 1469598103934665603ull;
    for (const std::uint64_t v : {kRendererVersion, static_cast<std::uint64_t>(st.st_size),
                                  static_cast<std::uint64_t>(st.st_mtim.tv_sec),
                                  static_cast<std::uint64_t>(st.st_mtim.tv_nsec), static_cast<std::uint64_t>(st.st_ino)})
        for (int byte = 0; byte < 8; ++byte) h = (h ^ ((v >> (8 * byte)) & 0xFF)) * 1099511628211ull;
    return h;
}

PictureSet MakeTablePictures(const std::string& deckFolder, const TablePlacement& placement,
                             const modDX::PathResolver& resolve, ArtModule& artModule, const PictureCache& cache,
                             std::uint64_t source, std::ostream& notes, bool* rendered, bool useKept) {
    const modDX::TableTransform& t = placement.transform;
    const int pixelWidth = placement.pixelWidth, pixelHeight = placement.pixelHeight;
    const PictureCacheKey key = TablePicturesKey(deckFolder, placement, source);
    if (rendered) *rendered = false;
    if (source != 0 && useKept)
        if (std::optional<PictureSet> kept = cache.Load(key)) {
            if (kept->size() == static_cast<std::size_t>(TablePicture::Count)) return std::move(*kept);
        }

    const std::vector<std::string> files = TableArtFiles(deckFolder);
    art::ArtRequest request;
    request.files = {resolve(files[0]), resolve(files[1]), resolve(files[2]), resolve(files[3]), resolve(files[4])};
    request.scale = t.scale;
    request.tableWidth = pixelWidth;
    request.tableHeight = pixelHeight;
    const ScorePageLayout page = ScorePageOn(t.tableWidth, t.tableHeight);
    request.pageX = t.offsetX + RoundHalfEven(page.pageX * t.scale);
    request.pageY = t.offsetY + RoundHalfEven(page.pageY * t.scale);
    const RenderTablePicturesFunction render = artModule.Renderer();
    PictureSet pictures;
    std::string error;
    if (!render(request, deckFolder, static_cast<int>(std::max(2u, std::thread::hardware_concurrency())), pictures, error))
        throw modDX::LoadError("MakeTablePictures", modDX::errPictureFile, error);
    if (pictures.size() != static_cast<std::size_t>(TablePicture::Count))
        throw modDX::LoadError("MakeTablePictures", modDX::errPictureFormat, "The art module made another set.");
    if (source != 0) cache.Store(key, pictures, notes);
    if (rendered) *rendered = true;
    return pictures;
}

}  // namespace pellow
