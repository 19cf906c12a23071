#include "cards.hpp"

namespace pellow {

std::string CardFileName(int code) {
    static const char* const kRanks[13] = {"A", "2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K"};
    static const char* const kSuitLetters[4] = {"C", "D", "H", "S"};  // file order
    return std::string(kRanks[code / 4]) + kSuitLetters[code % 4] + ".BMP";
}

}  // namespace pellow
