// The one picture conversion of the unpacking: the JPEG background becomes a 24-bit bitmap the
// picture loader can read.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

#include "resources/file_formats.hpp"
#include "resources/posix_file.hpp"
#include "resources/unpack.hpp"

namespace pellow {

namespace {

using detail::UniqueFd;

constexpr std::int64_t kBmpHeaderSize = format::kBmpHeaderLength;
// Enough for any sensible picture; stops a hostile header from asking for gigabytes.
constexpr long kDecoderMemoryLimit = 256L * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are counted and judged after decoding; nothing goes to stderr.
void OnJpegMessage(j_common_ptr) {}

// Receives decoded RGB rows top to bottom and stores them bottom-up, as bitmaps keep them. The
// file is made only once the picture's size has been accepted.
class BitmapWriter {
public:
    BitmapWriter(int folder, const std::string& name) : file_(folder, name) {}

    // False with a reason when the picture cannot be written; writeFailed() tells whether the
    // file was the cause.
    bool Begin(std::uint32_t width, std::uint32_t height, std::string& why) {
        width_ = width;
        height_ = height;
        rowBytes_ = (std::int64_t{width} * 3 + 3) / 4 * 4;
        const std::int64_t imageSize = rowBytes_ * height;
        if (kBmpHeaderSize + imageSize > 0x7fffffff) {
            why = "the picture is too large for a bitmap";
            return false;
        }
        if (!file_.Create()) return Failed(why);
        const auto h = format::BmpHeader(width, height, 24);
        row_.assign(static_cast<std::size_t>(rowBytes_), 0);
        return Write(h.data(), h.size(), 0, why);
    }

    bool Row(std::uint32_t y, const unsigned char* rgb, std::string& why) {
        for (std::uint32_t x = 0; x < width_; ++x) {
            row_[x * 3 + 0] = rgb[x * 3 + 2];
            row_[x * 3 + 1] = rgb[x * 3 + 1];
            row_[x * 3 + 2] = rgb[x * 3 + 0];
        }
        return Write(row_.data(), row_.size(), kBmpHeaderSize + (height_ - 1 - y) * rowBytes_, why);
    }

    // Gives the whole file its name; a late write error shows here.
    bool Close(std::string& why) { return file_.Commit() || Failed(why); }
    // Takes away what was written.
    void Discard() { file_.Discard(); }
    bool writeFailed() const { return writeFailed_; }

private:
    bool Write(const void* data, std::size_t size, std::int64_t offset, std::string& why) {
        return detail::WriteAt(file_.get(), data, size, offset) || Failed(why);
    }
    bool Failed(std::string& why) {
        why = std::strerror(errno);
        writeFailed_ = true;
        return false;
    }

    detail::NewFile file_;
    bool writeFailed_ = false;
    std::uint32_t width_ = 0, height_ = 0;
    std::int64_t rowBytes_ = 0;
    std::vector<unsigned char> row_;
};

// Decodes jpeg into out when its declared size is width x height. Kept free of objects with
// destructors between setjmp and the calls that may jump back to it.
bool Decode(const std::vector<unsigned char>& jpeg, JDIMENSION width, JDIMENSION height, BitmapWriter& out,
            std::string& why) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnJpegError;
    err.pub.output_message = OnJpegMessage;
    if (setjmp(err.jump)) {
        why = err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kDecoderMemoryLimit;
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    // A few hundred bytes can declare a picture of gigabytes: only the size the game draws is
    // decoded at all.
    if (cinfo.image_width != width || cinfo.image_height != height) {
        why = "it is " + std::to_string(cinfo.image_width) + " x " + std::to_string(cinfo.image_height) +
              " pixels, not " + std::to_string(width) + " x " + std::to_string(height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);

    bool ok = out.Begin(cinfo.output_width, cinfo.output_height, why);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * 3, 1);
    while (ok && cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION y = cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, row, 1);
        ok = out.Row(y, row[0], why);
    }
    if (ok) {
        jpeg_finish_decompress(&cinfo);
        // A damaged picture decodes with grey gaps and a warning; that is not the background.
        if (err.pub.num_warnings > 0) {
            (*err.pub.format_message)(reinterpret_cast<j_common_ptr>(&cinfo), err.message);
            why = err.message;
            ok = false;
        }
    }
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

bool ReadWholeFile(int folder, const std::string& name, std::vector<unsigned char>& data, std::string& why) {
    UniqueFd fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    data.resize(static_cast<std::size_t>(st.st_size));
    const std::int64_t got = detail::ReadAt(fd.get(), data.data(), data.size(), 0);
    if (got < 0) {
        why = std::strerror(errno);
        return false;
    }
    data.resize(static_cast<std::size_t>(got));
    return true;
}

}  // namespace

void ConvertJpegToBitmapAt(int folder, const std::string& shownFolder, const std::string& jpegName,
                           const std::string& bmpName, int width, int height) {
    const std::string jpegPath = shownFolder + jpegName;
    std::vector<unsigned char> jpeg;
    std::string why;
    if (!ReadWholeFile(folder, jpegName, jpeg, why))
        throw ResourceError("The picture " + detail::Quoted(jpegPath) + " cannot be read: " + why + ".");
    if (width <= 0 || height <= 0)
        throw ResourceError("The picture " + detail::Quoted(jpegPath) +
                            " cannot be converted to a bitmap: no size is wanted.");

    BitmapWriter writer(folder, bmpName);
    const bool converted = Decode(jpeg, static_cast<JDIMENSION>(width), static_cast<JDIMENSION>(height), writer, why) &&
                           writer.Close(why);
    if (converted) return;
    writer.Discard();
    if (writer.writeFailed())
        throw ResourceError("The file " + detail::Quoted(shownFolder + bmpName) + " cannot be written: " + why + ".");
    throw ResourceError("The picture " + detail::Quoted(jpegPath) + " cannot be converted to a bitmap: " + why + ".");
}

void ConvertJpegToBitmap(const std::string& jpegPath, const std::string& bmpPath, int width, int height) {
    ConvertJpegToBitmapAt(AT_FDCWD, "", jpegPath, bmpPath, width, height);
}

}  // namespace pellow
