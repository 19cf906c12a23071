#include "net/protocol.hpp"

#include <gtest/gtest.h>

#include <set>

#include "net/codes.hpp"

namespace pellow::net {
namespace {

ErrorCode RefusalOf(std::string_view text, bool first = false) {
    const auto parsed = ParseClientMessage(text, first);
    EXPECT_TRUE(std::holds_alternative<Refusal>(parsed)) << text;
    return std::holds_alternative<Refusal>(parsed) ? std::get<Refusal>(parsed).code : ErrorCode::BadJson;
}

// Every message a client can send reads back as itself.
TEST(ProtocolTest, EveryClientMessageReadsBackAsSent) {
    const std::vector<ClientMessage> all = {
        Create{2, "Ann", Level::Expert, 30}, Join{"7KQ2-MX9D-P4TR-V0ZC", "Bo"}, Rejoin{std::string(26, 'A')},
        SetSeat{3, SeatKind::Computer, Level::Expert}, SetSeat{1, SeatKind::Reserved, Level::Rules}, Start{},
        Play{51}, Leave{}};
    for (const ClientMessage& m : all) {
        const auto parsed = ParseClientMessage(Encode(m), true);
        ASSERT_TRUE(std::holds_alternative<ClientMessage>(parsed)) << Encode(m);
        EXPECT_EQ(Encode(std::get<ClientMessage>(parsed)), Encode(m));
    }
}

TEST(ProtocolTest, HostileMessagesAreRefusedWithTheirReason) {
    EXPECT_EQ(RefusalOf(std::string(kMaxMessageBytes + 1, ' ')), ErrorCode::TooLarge);
    EXPECT_EQ(RefusalOf("{\"type\":\"join\",\"v\":1,\"code\":\"\xC0\xAF\"}"), ErrorCode::BadUtf8);  // overlong '/'
    EXPECT_EQ(RefusalOf("{\"type\":\"join\",\"v\":1,\"code\":\"\xED\xA0\x80\"}"), ErrorCode::BadUtf8);  // a surrogate
    EXPECT_EQ(RefusalOf("{\"type\":\"join\",\"v\":1,\"code\":\"\xE2\x82\"}"), ErrorCode::BadUtf8);  // cut short
    EXPECT_EQ(RefusalOf("{\"type\":\"play\",\"card\":"), ErrorCode::BadJson);
    EXPECT_EQ(RefusalOf("[1,2]"), ErrorCode::BadJson);
    EXPECT_EQ(RefusalOf(std::string(2000, '[') + std::string(2000, ']')), ErrorCode::BadJson);
    EXPECT_EQ(RefusalOf("{\"type\":\"create\"}", true), ErrorCode::BadVersion);
    EXPECT_EQ(RefusalOf("{\"type\":\"create\",\"v\":2}", true), ErrorCode::BadVersion);
    EXPECT_EQ(RefusalOf("{\"type\":\"play\",\"v\":\"1\",\"card\":3}"), ErrorCode::BadVersion);
    EXPECT_EQ(RefusalOf("{\"type\":\"shout\"}"), ErrorCode::UnknownType);
    EXPECT_EQ(RefusalOf("{\"type\":7}"), ErrorCode::BadField);
    for (const char* card : {"52", "-1", "3.5", "\"3\"", "18446744073709551615", "null", "1e2"})
        EXPECT_EQ(RefusalOf(std::string("{\"type\":\"play\",\"card\":") + card + "}"), ErrorCode::BadField) << card;
    EXPECT_EQ(RefusalOf("{\"type\":\"create\",\"v\":1,\"name\":\"a\\u0007b\"}"), ErrorCode::BadField);
    EXPECT_EQ(RefusalOf("{\"type\":\"create\",\"v\":1,\"name\":\"" + std::string(kMaxNameBytes + 1, 'n') + "\"}"),
              ErrorCode::BadField);
    EXPECT_EQ(RefusalOf("{\"type\":\"create\",\"v\":1,\"turnSeconds\":601}"), ErrorCode::BadField);
    EXPECT_EQ(RefusalOf("{\"type\":\"seat\",\"seat\":4,\"kind\":\"open\"}"), ErrorCode::BadField);
    EXPECT_EQ(RefusalOf("{\"type\":\"seat\",\"seat\":1,\"kind\":\"computer\",\"level\":\"god\"}"), ErrorCode::BadField);
    // Text outside ASCII is welcome where it is valid.
    EXPECT_TRUE(std::holds_alternative<ClientMessage>(
        ParseClientMessage("{\"type\":\"create\",\"v\":1,\"name\":\"Zo\xC3\xAB \xF0\x9F\x83\x8F\"}", true)));
}

TEST(CodesTest, CodesAreRandomReadableAndForgiving) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string code = NewInviteCode();
        ASSERT_EQ(code.size(), 19u);
        ASSERT_EQ(CanonicalInviteCode(code), code);
        seen.insert(code);
        const std::string token = NewRejoinToken();
        ASSERT_TRUE(WellFormedToken(token));
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 2000u);
    EXPECT_EQ(CanonicalInviteCode(" 7kq2 mx9d-p4tr-vOzc "), "7KQ2-MX9D-P4TR-V0ZC");
    EXPECT_EQ(CanonicalInviteCode("iIlL-0000-0000-0000"), "1111-0000-0000-0000");
    EXPECT_FALSE(CanonicalInviteCode("7KQ2-MX9D-P4TR-V0Z"));
    EXPECT_FALSE(CanonicalInviteCode("7KQ2-MX9D-P4TR-V0ZCC"));
    EXPECT_FALSE(CanonicalInviteCode("7KQ2-MX9D-P4TR-V0ZU"));  // U is not of the alphabet
    EXPECT_FALSE(WellFormedToken(std::string(25, 'A')));
    EXPECT_FALSE(WellFormedToken(std::string(25, 'A') + "u"));
}

}  // namespace
}  // namespace pellow::net
