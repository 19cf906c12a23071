#include "app/dialog/startup_process.hpp"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace pellow {

namespace {

static_assert(std::is_trivially_copyable_v<PlayerOptions> && std::is_trivially_copyable_v<MatchRecord>);

template <class T>
void PutRaw(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutString(std::string& out, const std::string& text) {
    PutRaw(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    template <class T>
    bool Raw(T& value) {
        if (bytes_.size() - at_ < sizeof value) return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool String(std::string& text) {
        std::uint32_t size = 0;
        if (!Raw(size) || bytes_.size() - at_ < size) return false;
        text.assign(bytes_, at_, size);
        at_ += size;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::string PackChoices(const LaunchSettings& settings, const StoredChoices& stored) {
    std::string out;
    PutString(out, settings.packFileName);
    PutString(out, settings.deckFolder);
    PutRaw(out, settings.screen);
    PutRaw(out, settings.slowAnimation);
    PutRaw(out, settings.partner);
    PutRaw(out, settings.opponents);
    PutRaw(out, stored.options);
    PutRaw(out, stored.record);
    return out;
}

bool UnpackChoices(const std::string& bytes, LaunchSettings& settings, StoredChoices& stored) {
    LaunchSettings s;
    PlayerOptions options;
    MatchRecord record;
    Reader in(bytes);
    if (!(in.String(s.packFileName) && in.String(s.deckFolder) && in.Raw(s.screen) && in.Raw(s.slowAnimation) &&
          in.Raw(s.partner) && in.Raw(s.opponents) && in.Raw(options) && in.Raw(record) && in.AtEnd()))
        return false;
    settings = std::move(s);
    stored.options = options;
    stored.record = record;
    return true;
}

}  // namespace pellow
