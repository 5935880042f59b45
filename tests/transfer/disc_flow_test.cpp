// The end of a read into an image: whether the image is written, whom the words are about, the words (those of
// kestrel-cli disc read, which the window shares), and that the keep question comes only after damage.
#include "transfer/disc_flow.h"

#include <gtest/gtest.h>

using transfer::Outcome;
using transfer::ReadEnd;

TEST(DiscFlow, EachEndOfAReadDecidesAndSaysOneThing)
{
    struct Case
    {
        Outcome outcome;
        int unreadable;
        bool keep;
        ReadEnd end;
        bool write;
        bool about_drive;
        const char* words;
    };
    const Case cases[] = {
        {Outcome::Done, 0, false, ReadEnd::Complete, true, false, ""},
        {Outcome::Done, 2, true, ReadEnd::KeptDamaged, true, false, "written with 2 unreadable sectors as zeros"},
        {Outcome::Done, 1, false, ReadEnd::RefusedDamaged, false, false, "not written: 1 unreadable sector"},
        {Outcome::Cancelled, 1, true, ReadEnd::Cancelled, false, true, "cancelled; no image written"},
        {Outcome::Failed, 0, true, ReadEnd::Failed, false, true, "track 0 side 0: no disc; no image written"},
    };
    for (const Case& c : cases) {
        transfer::ReadReport read;
        read.outcome = c.outcome;
        read.unreadable.resize(static_cast<std::size_t>(c.unreadable));
        read.failure = c.outcome == Outcome::Failed ? "track 0 side 0: no disc" : "";
        std::vector<std::size_t> asked;
        const transfer::ImageRead result = transfer::conclude_read(read, [&](std::size_t n) {
            asked.push_back(n);
            return c.keep;
        });
        SCOPED_TRACE(c.words);
        EXPECT_EQ(result.end, c.end);
        EXPECT_EQ(result.write(), c.write);
        EXPECT_EQ(result.about_drive(), c.about_drive);
        EXPECT_EQ(result.words(), c.words);
        const bool damaged_read = c.outcome == Outcome::Done && c.unreadable > 0;
        EXPECT_EQ(asked, damaged_read ? std::vector<std::size_t>{static_cast<std::size_t>(c.unreadable)}
                                      : std::vector<std::size_t>{});
    }
}
