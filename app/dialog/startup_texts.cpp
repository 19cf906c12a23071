#include "startup_texts.hpp"

#include <cstdio>

#include "dialog_version.hpp"
#include "engine/rules.hpp"

namespace pellow {

namespace {

using Kind = TextLine::Kind;

std::string PointsLine(const char* name, int inTrumps, int otherwise) {
    char line[64];
    std::snprintf(line, sizeof line, "  %-8s %9d %12d", name, inTrumps, otherwise);
    return line;
}

}  // namespace

std::vector<TextLine> RulesText() {
    int trumpTotal = 0;
    int otherTotal = 0;
    for (const PointsRow& row : kPointsTable) {
        trumpTotal += row.inTrumps;
        otherTotal += row.otherwise;
    }
    const int dealTotal = trumpTotal + 3 * otherTotal;
    const std::string win = std::to_string(kWinThreshold);

    std::vector<TextLine> t;
    t.push_back({Kind::Heading, "The players"});
    t.push_back({Kind::Body,
                 "Four players form two fixed teams. You sit at the bottom of the table and play "
                 "together with your partner at the top, against the two players on your left "
                 "and right. The computer plays the other three hands."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "The deal"});
    t.push_back({Kind::Body,
                 "One standard deck of 52 cards is dealt out completely, 13 cards to each "
                 "player. Play always goes clockwise: you, the player on your left, your "
                 "partner, the player on your right. In the first deal of a match the player "
                 "holding the two of diamonds leads the first card; after that the deal passes "
                 "clockwise and the dealer leads."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "Trumps"});
    t.push_back({Kind::Body,
                 "There is no bidding. The first card led in a deal fixes trumps: its suit is "
                 "the trump suit until the end of that deal."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "Playing a trick"});
    t.push_back({Kind::Body,
                 "The leader may play any card. Each other player in turn must follow suit "
                 "(play a card of the suit led) if possible; a player who cannot follow suit "
                 "may play any card, a trump or a discard."});
    t.push_back({Kind::Body,
                 "The highest trump in the trick wins it. If no trump was played, the highest "
                 "card of the suit led wins; a discard of another suit never wins. Cards rank "
                 "ace (highest), king, queen, jack, 10, 9 and so on down to 2. The winner of a "
                 "trick leads the next one."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "Card points"});
    t.push_back({Kind::Body, "Only the cards below score, for the team that takes them in its tricks:"});
    t.push_back({Kind::Table, "  Card     in trumps  other suits"});
    for (const PointsRow& row : kPointsTable) {
        t.push_back({Kind::Table, PointsLine(row.name, row.inTrumps, row.otherwise)});
    }
    t.push_back({Kind::Body, "All other cards score nothing, so every deal is worth " + std::to_string(dealTotal) +
                                 " points: " + std::to_string(trumpTotal) + " in trumps and " +
                                 std::to_string(otherTotal) + " in each other suit."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "Winning the match"});
    t.push_back({Kind::Body,
                 "After each deal the points each team took are added to its match total. A "
                 "team wins the match when its total passes " +
                     win + " (so reaches " + std::to_string(kWinThreshold + 1) +
                     " or more) and is higher than the other team's. While no team has done so, "
                     "another deal follows."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "A hint"});
    t.push_back({Kind::Body,
                 "On your turn, press H or right-click the table: the card the Expert would play "
                 "rises from your hand until you play."});
    return t;
}

std::vector<TextLine> CreditsText() {
    std::vector<TextLine> t;
    t.push_back({Kind::Heading, "Pellow " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
                                    std::to_string(kVersionRevision)});
    t.push_back({Kind::Body,
                 "Copyright the Pellow developers. Free software under the GNU General Public "
                 "License, version 3 or later. The table, the score pad, the pointer and the "
                 "sound effects were made for Pellow and share its licence."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "Card decks"});
    t.push_back({Kind::Body, "Royal Standard: the Anglo deck, card art © 2007 Aike Reyer"});
    t.push_back({Kind::Body, "Royal Celtic: the Neoclassical deck"});
    t.push_back({Kind::Body, "Vintage 1900s: the Dondorf deck, on ivory paper"});
    t.push_back({Kind::Body, "Worn Classic: the Rheinland deck, aged for Pellow"});
    t.push_back({Kind::Body,
                 "All four are card themes of the AisleRiot collection (Debian package "
                 "gnome-cards-data): GNU General Public License, version 3 or later."});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "Fonts (SIL Open Font License 1.1)"});
    t.push_back({Kind::Body, "DSEG7 and DSEG14 Classic by keshikan: the clock"});
    t.push_back({Kind::Body, "Yanone Kaffeesatz by Jan Gerner: the captions and the banner"});
    t.push_back({Kind::Body, "Dancing Script by Pablo Impallari: the score page"});
    t.push_back({Kind::Body, ""});
    t.push_back({Kind::Heading, "Libraries"});
    t.push_back({Kind::Body, "SDL2 (display, input, timing): zlib licence"});
    t.push_back({Kind::Body, "SDL2_mixer (sound): zlib licence"});
    t.push_back({Kind::Body, "FLTK 1.3 (this dialog): LGPL-2 with the FLTK exceptions"});
    t.push_back({Kind::Body, "libjpeg-turbo (table background): IJG licence and BSD-3-Clause"});
    t.push_back({Kind::Body, "librsvg (card rendering): LGPL-2.1 or later"});
    t.push_back({Kind::Body, "cairo (card rendering): LGPL-2.1 or MPL-1.1"});
    t.push_back({Kind::Body, "FreeType (fonts): FreeType Licence (FTL) or GPL-2"});
    return t;
}

std::string AboutLinkText() {
    return "About Pellow " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

std::string AboutText() {
    // The box does not wrap: the lines are broken here.
    return "Pellow " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision) +
           "\nA trick-taking card game for four: you and a computer\n"
           "partner against two computer players.\n\n"
           "Free software under the GNU General Public License,\n"
           "version 3 or later (GPL-3.0-or-later).\n\n"
           "Manual: man 6 pellow\n"
           "Licence and credits: LICENSE and CREDITS.md in\n"
           "/usr/share/doc/pellow, and the Credits tab.";
}

}  // namespace pellow
