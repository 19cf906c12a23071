#include "app/dialog/choices_pipe.hpp"

#include "engine/fatal_error.hpp"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <ostream>
#include <string_view>
#include <thread>

namespace pellow {

namespace {

// Play's message: this byte, the size of the choices, the choices.
constexpr char kPlayed = 'P';
using Size = std::uint32_t;
constexpr std::size_t kHead = 1 + sizeof(Size);
// The choices are a few dozen bytes; a damaged size must not ask for gigabytes.
constexpr Size kLongestChoices = 1 << 16;

// The one pack the dialog names.
constexpr std::string_view kPackFileName = "res002.pak";
// A launch that no deck gives crosses as this, which is no deck: the game's side refuses it.
constexpr int kNoDeck = 0;
// What the record file holds (15 digits), so that counting on can never overflow.
constexpr long long kMostCounted = 999'999'999'999'999;

// Every value goes as bytes of its own: nothing of a struct's padding crosses, and each set of
// choices has one packing only.
template <class T>
void PutRaw(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
void PutByte(std::string& out, int value) { out += static_cast<char>(value); }
void PutString(std::string& out, const std::string& text) {
    PutRaw(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <class T>
    bool Raw(T& value) {
        if (bytes_.size() - at_ < sizeof value) return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool Byte(int& value, int least, int most) {
        std::uint8_t byte = 0;
        if (!Raw(byte) || byte < least || byte > most) return false;
        value = byte;
        return true;
    }
    bool Bool(bool& value) {
        int byte = 0;
        if (!Byte(byte, 0, 1)) return false;
        value = byte == 1;
        return true;
    }
    template <class Enum>
    bool Choice(Enum& value, Enum last) {
        int byte = 0;
        if (!Byte(byte, 0, static_cast<int>(last))) return false;
        value = static_cast<Enum>(byte);
        return true;
    }
    // A window side: none (0) or a size a screen can have.
    bool Side(int& value) {
        std::int32_t side = 0;
        if (!Raw(side) || side < 0 || side > kLargestWindowSide) return false;
        value = side;
        return true;
    }
    // Only the decks the dialog offers: the deck's folder becomes part of file paths.
    bool OneDeck(Deck& deck) {
        int byte = 0;
        if (!Byte(byte, 0, 255) || !FactsOf(static_cast<Deck>(byte))) return false;
        deck = static_cast<Deck>(byte);
        return true;
    }
    bool String(std::string& text) {
        std::uint32_t size = 0;
        if (!Raw(size) || bytes_.size() - at_ < size) return false;
        text.assign(bytes_.substr(at_, size));
        at_ += size;
        return true;
    }
    bool Count(long long& value) {
        std::int64_t count = 0;
        if (!Raw(count) || count < 0 || count > kMostCounted) return false;
        value = count;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// One byte, waiting as long as it takes: 1, 0 at end of file, -1 on an error.
int ReadByte(int fd, char& byte) {
    for (;;) {
        const ssize_t n = ::read(fd, &byte, 1);
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return -1;
    }
}

enum class Got { End, Limit, Stalled, Failed };

// Appends to `out` until the writer closes its end, `out` holds `limit` bytes, or `deadline`.
Got ReadToEnd(int fd, std::string& out, std::size_t limit, std::chrono::steady_clock::time_point deadline, int& error) {
    char buffer[4096];
    while (out.size() < limit) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Got::Stalled;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left.count(), 60'000)));
        if (polled < 0 && errno != EINTR) {
            error = errno;
            return Got::Failed;
        }
        if (polled <= 0) continue;
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - out.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            return Got::Failed;
        }
        if (n == 0) return Got::End;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return Got::Limit;
}

// The game's process ends as the dialog's did.
int StatusOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        std::signal(sig, SIG_DFL);
        raise(sig);
        return 128 + sig;
    }
    return 1;
}

}  // namespace

std::string PackChoices(const LaunchSettings& settings, const StoredChoices& stored) {
    std::string out;
    PutString(out, settings.packFileName);
    const std::optional<Deck> deck = DeckOf(settings);
    PutByte(out, deck ? static_cast<int>(*deck) : kNoDeck);
    PutByte(out, settings.slowAnimation);
    PutByte(out, static_cast<int>(settings.partner));
    PutByte(out, static_cast<int>(settings.opponents));
    const PlayerOptions& o = stored.options;
    PutByte(out, static_cast<int>(o.deck));
    PutByte(out, o.slowAnimation);
    PutByte(out, o.playInWindow);
    PutByte(out, o.showPlayable);
    PutByte(out, static_cast<int>(o.partner));
    PutByte(out, static_cast<int>(o.opponents));
    PutByte(out, o.tableInformation);
    PutByte(out, o.classicTable);
    PutByte(out, o.soundVolume);
    PutByte(out, o.soundMuted);
    PutRaw(out, static_cast<std::int32_t>(o.windowWidth));
    PutRaw(out, static_cast<std::int32_t>(o.windowHeight));
    const MatchRecord& r = stored.record;
    for (const long long count : {r.matchesPlayed, r.matchesWon, r.deals, r.points, r.chosenMatchesPlayed,
                                  r.chosenMatchesWon, r.chosenDeals, r.chosenPoints})
        PutRaw(out, static_cast<std::int64_t>(count));
    return out;
}

bool UnpackChoices(const std::string& bytes, LaunchSettings& settings, StoredChoices& stored) {
    LaunchSettings s;
    Deck deck = Deck::Royal;
    PlayerOptions o;
    MatchRecord r;
    Reader in(bytes);
    if (!(in.String(s.packFileName) && in.OneDeck(deck) && in.Bool(s.slowAnimation) &&
          in.Choice(s.partner, ComputerLevel::Expert) && in.Choice(s.opponents, ComputerLevel::Expert) &&
          in.OneDeck(o.deck) && in.Bool(o.slowAnimation) && in.Bool(o.playInWindow) && in.Bool(o.showPlayable) &&
          in.Choice(o.partner, ComputerLevel::Expert) && in.Choice(o.opponents, ComputerLevel::Expert) &&
          in.Bool(o.tableInformation) && in.Bool(o.classicTable) && in.Byte(o.soundVolume, 0, 100) && in.Bool(o.soundMuted) &&
          in.Side(o.windowWidth) && in.Side(o.windowHeight) && (o.windowWidth == 0) == (o.windowHeight == 0) &&
          in.Count(r.matchesPlayed) && in.Count(r.matchesWon) && in.Count(r.deals) && in.Count(r.points) &&
          in.Count(r.chosenMatchesPlayed) && in.Count(r.chosenMatchesWon) && in.Count(r.chosenDeals) &&
          in.Count(r.chosenPoints) && in.AtEnd()))
        return false;
    // The pack name becomes part of a file path.
    if (s.packFileName != kPackFileName) return false;
    ChooseDeck(s, deck);
    // As the record file is checked: every deal holds 80 points, no match is won unplayed.
    if (r.matchesWon > r.matchesPlayed || r.points > 80 * r.deals) return false;
    if (r.chosenMatchesWon > r.chosenMatchesPlayed || r.chosenPoints > 80 * r.chosenDeals) return false;
    settings = std::move(s);
    stored.options = o;
    stored.record = r;
    return true;
}

std::string PlayMessage(const LaunchSettings& settings, const StoredChoices& stored) {
    const std::string choices = PackChoices(settings, stored);
    std::string message(1, kPlayed);
    PutRaw(message, static_cast<Size>(choices.size()));
    return message + choices;
}

bool ReadPlayMessage(const std::string& message, LaunchSettings& settings, StoredChoices& stored, std::string& why) {
    if (message.empty() || message[0] != kPlayed) {
        why = "The start-up dialog sent something other than its choices.";
        return false;
    }
    Size size = 0;
    if (message.size() < kHead) {
        why = "The start-up dialog's choices were cut short.";
        return false;
    }
    std::memcpy(&size, message.data() + 1, sizeof size);
    if (size > kLongestChoices) {
        why = "The start-up dialog's choices claim to be " + std::to_string(size) + " bytes, over 64 KiB.";
        return false;
    }
    const std::size_t sent = message.size() - kHead;
    if (sent != size) {
        why = "The start-up dialog's choices were to be " + std::to_string(size) + " bytes" +
              (sent < size ? " but were cut short." : " but more followed.");
        return false;
    }
    if (!UnpackChoices(message.substr(kHead), settings, stored)) {
        why = "The start-up dialog's choices are not ones it offers.";
        return false;
    }
    return true;
}

bool SendChoices(int fd, const LaunchSettings& settings, const StoredChoices& stored) {
    const std::string message = PlayMessage(settings, stored);
    const bool sent = WriteAll(fd, message.data(), message.size());
    // The end of the pipe ends the message: a reader never waits for bytes that are not coming.
    close(fd);
    return sent;
}

bool SendShown(int fd) { return WriteAll(fd, &kDialogShown, 1); }

std::optional<int> AwaitChoices(int choicesIn, pid_t dialog, LaunchSettings& settings, StoredChoices& stored,
                                const std::function<void()>& whileChoosing, const std::function<void()>& onChoices,
                                std::ostream& err, std::chrono::milliseconds deadline) {
    enum class Outcome { Played, Ended, Refused };
    std::string why;
    const auto unreadable = [&](int error) {
        why = std::string("The start-up dialog's choices could not be read: ") + std::strerror(error) + ".";
        return Outcome::Refused;
    };
    // The rest of Play's message, once its first byte is in: it comes at once, and ends with
    // the pipe. Reading stops as soon as the message cannot be whole.
    const auto play = [&](char first) {
        std::string message(1, first);
        const auto until = std::chrono::steady_clock::now() + deadline;
        int error = 0;
        Got got = Got::Limit;
        if (first == kPlayed) got = ReadToEnd(choicesIn, message, kHead, until, error);
        if (got == Got::Limit && message.size() == kHead) {
            Size size = 0;
            std::memcpy(&size, message.data() + 1, sizeof size);
            // One byte past the announced size tells a longer message from a whole one.
            if (size <= kLongestChoices) got = ReadToEnd(choicesIn, message, kHead + size + 1, until, error);
        }
        if (got == Got::Failed) return unreadable(error);
        if (got == Got::Stalled) {
            why = "The start-up dialog's choices did not end within " +
                  std::to_string(std::chrono::ceil<std::chrono::seconds>(deadline).count()) + " s.";
            return Outcome::Refused;
        }
        return ReadPlayMessage(message, settings, stored, why) ? Outcome::Played : Outcome::Refused;
    };
    // The player takes as long as they like: a byte has no bound, and the dialog's process
    // ending closes the pipe.
    const auto next = [&]() {
        char byte = 0;
        const int n = ReadByte(choicesIn, byte);
        if (n < 0) return unreadable(errno);
        return n == 0 ? Outcome::Ended : play(byte);
    };
    char first = 0;
    const int n = ReadByte(choicesIn, first);
    Outcome outcome = Outcome::Ended;
    if (n < 0) {
        outcome = unreadable(errno);
    } else if (n > 0 && first != kDialogShown) {
        outcome = play(first);
    } else if (n > 0) {
        // The choices are awaited, and what they allow begun, beside the preparation.
        std::thread reader([&] {
            outcome = next();
            if (outcome == Outcome::Played && onChoices) onChoices();
        });
        // The reader is joined whatever the preparation does; its failure comes after.
        std::exception_ptr failed;
        try {
            if (whileChoosing) whileChoosing();
        } catch (...) {
            failed = std::current_exception();
        }
        reader.join();
        if (failed) std::rethrow_exception(failed);
    }
    switch (outcome) {
        case Outcome::Played: return std::nullopt;
        case Outcome::Ended: return StatusOf(dialog);
        case Outcome::Refused: break;
    }
    err << FatalMessage(why) << "\n" << std::flush;
    // Whatever sent that is not to be trusted with the screen any longer, nor left behind.
    kill(dialog, SIGKILL);
    while (waitpid(dialog, nullptr, 0) < 0 && errno == EINTR) {
    }
    return 1;
}

}  // namespace pellow
