#include "art/table_art_set.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "art/table_art.hpp"

namespace pellow::art {

namespace {

// Light letters with a dark shadow, their soft edges blended with the felt near the bottom
// corners where the game writes them.
GlyphStyle FeltStyle(std::vector<std::string> faces, Rgb ink) {
    GlyphStyle s;
    s.faces = std::move(faces);
    s.ink = ink;
    s.backdrop = {21, 73, 45};
    s.shadow = true;
    s.shadowInk = {8, 22, 12};
    s.keepCoverage = 0.3f;
    return s;
}

int Scaled(double units, double scale) { return std::max(1, static_cast<int>(std::lround(units * scale))); }

// Runs the jobs on `threads` threads, each taken in order by the first thread free; the first
// failure ends the run and is thrown again here.
void RunJobs(const std::vector<std::function<void(int worker)>>& jobs, int threads) {
    std::atomic<std::size_t> next{0};
    std::mutex failMutex;
    std::string failure;
    auto work = [&](int worker) {
        try {
            for (std::size_t j = next++; j < jobs.size(); j = next++) jobs[j](worker);
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(failMutex);
            if (failure.empty()) failure = e.what();
            next = jobs.size();
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work, t);
    work(0);
    for (std::thread& t : pool) t.join();
    if (!failure.empty()) throw std::runtime_error(failure);
}

}  // namespace

DeckLook DeckLookFor(std::string_view deckFolder) {
    if (deckFolder == "Royal" || deckFolder == "Roya2") return {CardFinish::Clean, 0};
    if (deckFolder == "Vintage") return {CardFinish::Vintage, 1900};
    if (deckFolder == "Worn") return {CardFinish::Worn, 4711};
    throw std::invalid_argument("no deck folder " + std::string(deckFolder));
}

GlyphStyle DigitStyle(const ArtFiles& files) {
    GlyphStyle s = FeltStyle({files.digitFont, files.digitLetterFont}, {255, 196, 92});
    // Seven segments cannot draw an M: letters (AM, PM) come from the fourteen-segment face.
    s.letterFaces = {files.digitLetterFont};
    return s;
}

GlyphStyle DeluxeStyle(const ArtFiles& files) { return FeltStyle({files.deluxeFont}, {242, 220, 150}); }

GlyphStyle HandStyle(const ArtFiles& files) {
    GlyphStyle s;
    s.faces = {files.handFont};
    s.ink = kPenInk;
    s.backdrop = kPaper;
    s.keepCoverage = 0.15f;
    // Sized for what the page writes; the few taller letters shrink to fit their cells.
    s.sizingSet = "0123456789WeThylostn!";
    return s;
}

TableArt RenderTableArt(const ArtRequest& request, int threads) {
    threads = std::max(1, threads);
    const double scale = request.scale;
    if (!(scale > 0) || request.tableWidth <= 0 || request.tableHeight <= 0)
        throw std::invalid_argument("no table to draw the art for");
    const DeckArt deck{"", request.files.deckSvg, Scaled(kCardUnitsWide, scale), Scaled(kCardUnitsHigh, scale),
                        request.finish, request.seed};

    TableArt art;
    art.faces.resize(kCardBackCode);
    std::vector<std::unique_ptr<CardPainter>> painters(static_cast<std::size_t>(threads));
    std::promise<void> feltDone, handDone;
    std::shared_future<void> feltReady = feltDone.get_future().share(), handReady = handDone.get_future().share();

    // The longest pieces first, so that the cards fill in around them; the pad last, as it lies
    // on the felt and its rulings follow the handwriting's baseline.
    std::vector<std::function<void(int)>> jobs;
    jobs.push_back([&](int) {
        try {
            art.felt = RenderFelt(request.tableWidth, request.tableHeight, scale);
            feltDone.set_value();
        } catch (...) {
            feltDone.set_exception(std::current_exception());
            throw;
        }
    });
    jobs.push_back([&](int) {
        try {
            art.handFont = RenderGlyphSheet(HandStyle(request.files), scale);
            handDone.set_value();
        } catch (...) {
            handDone.set_exception(std::current_exception());
            throw;
        }
    });
    jobs.push_back([&](int) { art.digitFont = RenderGlyphSheet(DigitStyle(request.files), scale); });
    jobs.push_back([&](int) { art.deluxeFont = RenderGlyphSheet(DeluxeStyle(request.files), scale); });
    for (int code = 0; code <= kCardBackCode; ++code)
        jobs.push_back([&, code](int worker) {
            auto& painter = painters[static_cast<std::size_t>(worker)];
            if (!painter) painter = std::make_unique<CardPainter>(deck.svgPath);
            Image card = RenderDeckCard(*painter, deck, code);
            if (code == kCardBackCode) art.back = std::move(card);
            else art.faces[static_cast<std::size_t>(code)] = std::move(card);
        });
    jobs.push_back([&](int) {
        art.horizontalLine = RenderHorizontalLine(scale);
        art.verticalLine = RenderVerticalLine(scale);
        art.pointer = RenderPointer(scale);
    });
    jobs.push_back([&](int) {
        feltReady.get();
        handReady.get();
        art.scorePage = RenderScorePageAt(art.felt, request.pageX, request.pageY, art.handFont.baseline,
                                          request.files.deluxeFont, scale);
    });
    RunJobs(jobs, threads);
    return art;
}

}  // namespace pellow::art
